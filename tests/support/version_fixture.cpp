// Builds VS_VERSIONINFO resources by hand and stamps them into a copy of the
// fixture base image with the system's resource updater.
#include <windows.h>
#include <string>
#include "support/scratch_files.h"
#include "support/version_fixture.h"

namespace {

void PadTo4(std::string& out)
{
    while (out.size() % 4 != 0)
        out.push_back('\0');
}

void AppendWide(std::string& out, const std::string& ascii)
{
    for (char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    out.append(2, '\0');
}

// One version node: header, key, value and children, each aligned to 4.
std::string Node(const std::string& key, const std::string& value, WORD valueLength, WORD type,
                 const std::string& children)
{
    std::string out(6, '\0');
    AppendWide(out, key);
    PadTo4(out);
    out += value;
    PadTo4(out);
    out += children;
    WORD length = static_cast<WORD>(out.size());
    out[0] = static_cast<char>(length & 0xFF);
    out[1] = static_cast<char>(length >> 8);
    out[2] = static_cast<char>(valueLength & 0xFF);
    out[3] = static_cast<char>(valueLength >> 8);
    out[4] = static_cast<char>(type);
    out[5] = 0;
    return out;
}

std::string StringNode(const std::string& key, const std::string& text)
{
    std::string value;
    AppendWide(value, text);
    return Node(key, value, static_cast<WORD>(text.size() + 1), 1, std::string());
}

}  // namespace

std::string BuildVersionResource(const std::string& block, const std::string& version)
{
    VS_FIXEDFILEINFO fixed = {};
    fixed.dwSignature = 0xFEEF04BD;
    fixed.dwStrucVersion = 0x00010000;
    fixed.dwFileOS = VOS__WINDOWS32;
    fixed.dwFileType = VFT_APP;
    std::string fixedBytes(reinterpret_cast<const char*>(&fixed), sizeof fixed);

    std::string strings = StringNode("FileVersion", version) +
                          StringNode("ProductVersion", version) +
                          StringNode("ProductName", "Tolvane");
    std::string table = Node(block, std::string(), 0, 1, strings);
    std::string stringInfo = Node("StringFileInfo", std::string(), 0, 1, table);

    unsigned int language = std::stoul(block.substr(0, 4), nullptr, 16);
    unsigned int codePage = std::stoul(block.substr(4, 4), nullptr, 16);
    std::string translation;
    translation.push_back(static_cast<char>(language & 0xFF));
    translation.push_back(static_cast<char>(language >> 8));
    translation.push_back(static_cast<char>(codePage & 0xFF));
    translation.push_back(static_cast<char>(codePage >> 8));
    std::string varInfo = Node("VarFileInfo", std::string(), 0, 1,
                               Node("Translation", translation, 4, 0, std::string()));

    return Node("VS_VERSION_INFO", fixedBytes, sizeof fixed, 0, stringInfo + varInfo);
}

bool WriteMainExecutable(const std::string& path, const std::string& block,
                         const std::string& version, unsigned long size)
{
    std::string base = TestProgramFolder() + "fixture_base.exe";
    if (!CopyFileA(base.c_str(), path.c_str(), FALSE))
        return false;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!block.empty()) {
        std::string resource = BuildVersionResource(block, version);
        HANDLE update = BeginUpdateResourceA(path.c_str(), FALSE);
        if (update == nullptr)
            return false;
        BOOL ok = UpdateResourceA(update, RT_VERSION, MAKEINTRESOURCEA(1),
                                  MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT),
                                  const_cast<char*>(resource.data()),
                                  static_cast<DWORD>(resource.size()));
        if (!EndUpdateResourceA(update, !ok) || !ok)
            return false;
    }
    if (size == 0)
        return true;
    bool read = false;
    std::string bytes = ReadFileBytes(path, &read);
    if (!read || bytes.size() > size)
        return false;
    bytes.resize(size, '\0');
    return WriteFileBytes(path, bytes);
}
