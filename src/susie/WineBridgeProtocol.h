#pragma once
// The messages between the plug-in host and its bridge program, which runs Windows plug-ins
// under Wine and is built from bridge/BridgeMain.cpp. Both sides include this file.
//
// A message is a frame: u32 length of what follows, u8 kind, then the fields in the order
// listed, every integer little-endian. "bytes" is a u32 count followed by that many bytes;
// "text" is bytes without a terminating zero. The bridge starts with Hello; then the host
// sends one request at a time and the bridge answers it with exactly one reply. While a picture
// is decoded the bridge may send Progress messages first, each answered by ProgressAnswer.

#include <cstdint>

namespace gz::bridge {

constexpr std::uint32_t kProtocolVersion = 1;

enum class Kind : std::uint8_t {
    Hello = 1,        // bridge: u32 version, u32 bits of an address (32 or 64)
    Load,             // host: text path (as the host names the file) -> LoadReply
    LoadReply,        // u32 id (0: not loaded), text reason when not loaded, u32 exports,
                      // u32 count, count x (i32 number, i32 result, text): plug-in information
    PluginInfo,       // host: u32 id, i32 number, i32 buffer length -> PluginInfoReply
    PluginInfoReply,  // i32 result, text (what the buffer holds up to its first zero)
    IsSupported,      // host: u32 id, text file name, 2048 bytes of head -> Result
    PictureInfo,      // host: u32 id, source -> PictureInfoReply
    PictureInfoReply, // i32 result, 22 bytes of the record, u8 has text, bytes text information
    Picture,          // host: u32 id, u8 preview, u8 callback given, source -> PictureReply
    Progress,         // bridge: i32 done, i32 total -> ProgressAnswer
    ProgressAnswer,   // host: i32 answer (0 go on, 1 stop)
    PictureReply,     // i32 result, u8 has info, bytes info, u8 has bits, bytes bits
    Result,           // i32 result
    Crash,            // bridge, instead of a reply: u32 exception code; the bridge then ends
};

// A source: u32 flag, i64 position, then text (the file name) when flag & 7 is 0, bytes (the
// picture in memory; position is their count) when it is 1.
constexpr std::uint32_t kSourceMemory = 1;

// Bit i of the exports word: the entry point kEntryPointNames[i] is exported.
constexpr const char* kEntryPointNames[] = {"GetPluginInfo", "ConfigurationDlg", "IsSupported",
                                            "GetPictureInfo", "GetPicture", "GetPreview",
                                            "GetArchiveInfo", "GetFileInfo", "GetFile"};
constexpr int kEntryPointCount = 9;

// What the host asks of GetPluginInfo, and so what Load answers ahead: numbers 0 and 1, then
// pairs from 2 on until a pair is incomplete, with a buffer of this length.
constexpr std::int32_t kInfoBufferLength = 255;
constexpr std::int32_t kMaxInfoNumbers = 256;

constexpr std::uint32_t kHeadBytes = 2048;
constexpr std::uint32_t kPictureInfoRecordBytes = 22;
// The largest header and colour table a bitmap can need.
constexpr std::uint32_t kMaxBitmapInfoBytes = 40 + 4 * 256;

} // namespace gz::bridge
