#include "platform/metafile/TextDecoding.h"

#include <QStringDecoder>

namespace gz::metafile {

namespace {

const char* CodecName(int charset)
{
    switch (charset) {
    case 128: return "Shift_JIS";
    case 129: return "windows-949";
    case 130: return "windows-949";
    case 134: return "GBK";
    case 136: return "Big5";
    case 161: return "windows-1253";
    case 162: return "windows-1254";
    case 163: return "windows-1258";
    case 177: return "windows-1255";
    case 178: return "windows-1256";
    case 186: return "windows-1257";
    case 204: return "windows-1251";
    case 222: return "windows-874";
    case 238: return "windows-1250";
    case 255: return "IBM437";
    default: return "windows-1252";
    }
}

bool IsLeadByte(int charset, std::uint8_t b)
{
    switch (charset) {
    case 128: return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 129: case 130: case 134: case 136: return b >= 0x81 && b <= 0xFE;
    default: return false;
    }
}

// The Symbol font's characters 0x20..0xFF as Unicode.
char16_t SymbolToUnicode(std::uint8_t c)
{
    static constexpr char16_t upper[] = { // 0x40..0x7E
        0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B,
        0x039C, 0x039D, 0x039F, 0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8,
        0x0396, '[', 0x2234, ']', 0x22A5, '_', 0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
        0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF, 0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4,
        0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6, '{', '|', '}', 0x223C};
    static constexpr char16_t high[] = { // 0xA0..0xFF
        0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194, 0x2190,
        0x2191, 0x2192, 0x2193, 0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, 0x00F7, 0x2260,
        0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5, 0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205,
        0x2229, 0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209, 0x2220, 0x2207, 0x00AE, 0x00A9,
        0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3, 0x25CA,
        0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C, 0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8,
        0x23A9, 0x23AA, 0x0020, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F, 0x23A0, 0x23A4, 0x23A5,
        0x23A6, 0x23AB, 0x23AC, 0x23AD, 0x0020};
    switch (c) {
    case 0x22: return 0x2200;
    case 0x24: return 0x2203;
    case 0x27: return 0x220B;
    case 0x2A: return 0x2217;
    case 0x2D: return 0x2212;
    default: break;
    }
    if (c >= 0x40 && c <= 0x7E)
        return upper[c - 0x40];
    if (c >= 0xA0)
        return high[c - 0xA0];
    return c;
}

bool IsSymbolFace(const QString& face)
{
    return face.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0;
}

} // namespace

bool IsSymbolFont(const GdiFont& font) { return font.Charset == 2 || IsSymbolFace(font.Face); }

TextRun DecodeAnsiText(const std::uint8_t* bytes, std::size_t count, const GdiFont& font,
                       const std::vector<double>& byteAdvances)
{
    TextRun run;
    const bool advances = byteAdvances.size() >= count;
    if (IsSymbolFace(font.Face)) {
        for (std::size_t i = 0; i < count; ++i) {
            run.Text.append(QChar(SymbolToUnicode(bytes[i])));
            if (advances)
                run.Advances.push_back(byteAdvances[i]);
        }
        return run;
    }
    QStringDecoder decoder(CodecName(font.Charset));
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Latin1);
    // Characters are decoded one at a time so that each keeps the advances of its bytes.
    for (std::size_t i = 0; i < count;) {
        const std::size_t length = IsLeadByte(font.Charset, bytes[i]) && i + 1 < count ? 2 : 1;
        const QString piece = decoder.decode(QByteArrayView(bytes + i, qsizetype(length)));
        double advance = 0;
        if (advances)
            for (std::size_t k = 0; k < length; ++k)
                advance += byteAdvances[i + k];
        for (qsizetype k = 0; k < piece.size(); ++k) {
            run.Text.append(piece[k]);
            if (advances)
                run.Advances.push_back(k == 0 ? advance : 0);
        }
        i += length;
    }
    return run;
}

TextRun DecodeWideText(const std::uint8_t* bytes, std::size_t units, const GdiFont& font,
                       const std::vector<double>& advances)
{
    TextRun run;
    const bool symbol = IsSymbolFace(font.Face);
    for (std::size_t i = 0; i < units; ++i) {
        char16_t c = char16_t(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        // Symbol fonts keep their characters in the private area at 0xF020..0xF0FF.
        if (symbol && (c < 0x100 || (c >= 0xF020 && c <= 0xF0FF)))
            c = SymbolToUnicode(std::uint8_t(c & 0xFF));
        run.Text.append(QChar(c));
    }
    if (advances.size() >= units)
        run.Advances.assign(advances.begin(), advances.begin() + std::ptrdiff_t(units));
    return run;
}

QString DecodeAnsiFaceName(const std::uint8_t* bytes, std::size_t maxBytes, int charset)
{
    std::size_t length = 0;
    while (length < maxBytes && bytes[length] != 0)
        ++length;
    QStringDecoder decoder(CodecName(charset == 2 ? 0 : charset));
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Latin1);
    return decoder.decode(QByteArrayView(bytes, qsizetype(length)));
}

QString DecodeWideFaceName(const std::uint8_t* bytes, std::size_t maxUnits)
{
    QString name;
    for (std::size_t i = 0; i < maxUnits; ++i) {
        const char16_t c = char16_t(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (c == 0)
            break;
        name.append(QChar(c));
    }
    return name;
}

} // namespace gz::metafile
