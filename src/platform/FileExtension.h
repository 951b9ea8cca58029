#pragma once
// The extension of a file name, for every reader and writer that goes by it.

#include <string>

namespace gz {

// From the last "." of the name's last path component, dot included, as written; empty when
// that component has no dot.
inline std::string FileExtension(const std::string& fileName)
{
    const auto dot = fileName.rfind('.');
    if (dot == std::string::npos || fileName.find('/', dot) != std::string::npos)
        return {};
    return fileName.substr(dot);
}

// The same in upper case (ASCII letters only): ".PNG".
inline std::string UpperFileExtension(const std::string& fileName)
{
    std::string ext = FileExtension(fileName);
    for (char& c : ext)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return ext;
}

} // namespace gz
