// UpdaterProblems: the PE headers and the main dialog's caption are read
// from the file's bytes with every offset checked against its length; the
// file version comes from the system's version functions.
#include <windows.h>
#include <cstdio>
#include "file_helpers.h"
#include "res/resource.h"
#include "updater_check.h"

namespace {

const WORD MACHINE_I386 = 0x14C;
const WORD PE32_MAGIC = 0x10B;
const WORD GUI_SUBSYSTEM = 2;
const WORD DIALOG_TYPE = 5;       // RT_DIALOG
const DWORD RELEASE_VERSION_MS = 0x00030001;  // 3.1
const DWORD RELEASE_VERSION_LS = 0x00030000;  // 3.0
const char16_t RELEASE_CAPTION[] = u"Tolvane アップデーター Ver 3.13";

// Little-endian reads that fail instead of reading past the image.
struct Image {
    std::string bytes;
    bool Has(size_t offset, size_t count) const
    {
        return offset <= bytes.size() && count <= bytes.size() - offset;
    }
    bool Word(size_t offset, WORD* out) const
    {
        if (!Has(offset, 2))
            return false;
        *out = static_cast<WORD>(static_cast<unsigned char>(bytes[offset]) |
                                 static_cast<unsigned char>(bytes[offset + 1]) << 8);
        return true;
    }
    bool Dword(size_t offset, DWORD* out) const
    {
        WORD low, high;
        if (!Word(offset, &low) || !Word(offset + 2, &high))
            return false;
        *out = low | static_cast<DWORD>(high) << 16;
        return true;
    }
};

struct Section {
    DWORD virtualAddress, virtualSize, rawSize, rawOffset;
};

struct PeHeaders {
    WORD machine = 0, magic = 0, subsystem = 0;
    WORD osMajor = 0, osMinor = 0, subsystemMajor = 0, subsystemMinor = 0;
    DWORD resourceRva = 0;
    std::vector<Section> sections;
};

bool ReadHeaders(const Image& image, PeHeaders* pe)
{
    DWORD peOffset;
    WORD sectionCount, optionalSize;
    if (!image.Has(0, 2) || image.bytes.compare(0, 2, "MZ") != 0 || !image.Dword(0x3C, &peOffset) ||
        !image.Has(peOffset, 4) || image.bytes.compare(peOffset, 4, std::string("PE\0\0", 4)) != 0 ||
        !image.Word(peOffset + 4, &pe->machine) || !image.Word(peOffset + 6, &sectionCount) ||
        !image.Word(peOffset + 20, &optionalSize))
        return false;
    size_t optional = peOffset + 24;
    if (!image.Word(optional, &pe->magic))
        return false;
    if (pe->magic != PE32_MAGIC)
        return true;  // the other fields lie elsewhere; the magic says enough
    DWORD directoryCount = 0;
    const WORD RESOURCE_DIRECTORY_END = 96 + 3 * 8;
    if (optionalSize < RESOURCE_DIRECTORY_END)
        return false;
    if (!image.Word(optional + 40, &pe->osMajor) || !image.Word(optional + 42, &pe->osMinor) ||
        !image.Word(optional + 48, &pe->subsystemMajor) ||
        !image.Word(optional + 50, &pe->subsystemMinor) ||
        !image.Word(optional + 68, &pe->subsystem) || !image.Dword(optional + 92, &directoryCount))
        return false;
    if (directoryCount > 2 && !image.Dword(optional + 96 + 2 * 8, &pe->resourceRva))
        return false;
    size_t table = optional + optionalSize;
    for (WORD i = 0; i < sectionCount; ++i) {
        Section s;
        size_t at = table + 40 * i;
        if (!image.Dword(at + 8, &s.virtualSize) || !image.Dword(at + 12, &s.virtualAddress) ||
            !image.Dword(at + 16, &s.rawSize) || !image.Dword(at + 20, &s.rawOffset))
            return false;
        pe->sections.push_back(s);
    }
    return true;
}

// File offset of a relative virtual address, or false where no section's
// bytes in the file hold it.
bool OffsetOf(const PeHeaders& pe, DWORD rva, size_t* offset)
{
    for (const Section& s : pe.sections) {
        if (rva >= s.virtualAddress && rva - s.virtualAddress < s.rawSize) {
            *offset = s.rawOffset + (rva - s.virtualAddress);
            return true;
        }
    }
    return false;
}

// In a resource directory at `directory` (relative to `base`), the entry
// with numeric id `id`, or the first entry when `id` is 0.
bool FindResourceEntry(const Image& image, size_t base, size_t directory, WORD id, DWORD* target)
{
    WORD named, ids;
    if (!image.Word(base + directory + 12, &named) || !image.Word(base + directory + 14, &ids))
        return false;
    for (unsigned int i = 0; i < static_cast<unsigned int>(named) + ids; ++i) {
        DWORD name, data;
        size_t entry = base + directory + 16 + 8 * i;
        if (!image.Dword(entry, &name) || !image.Dword(entry + 4, &data))
            return false;
        if (id == 0 || (!(name & 0x80000000) && name == id)) {
            *target = data;
            return true;
        }
    }
    return false;
}

// The caption of dialog `IDD_UPDATER`, in UTF-16; false when there is none.
bool DialogCaption(const Image& image, const PeHeaders& pe, std::u16string* caption)
{
    size_t base, dataOffset;
    DWORD typeDir, nameDir, dataEntry, dataRva, dataSize;
    if (pe.resourceRva == 0 || !OffsetOf(pe, pe.resourceRva, &base) ||
        !FindResourceEntry(image, base, 0, DIALOG_TYPE, &typeDir) || !(typeDir & 0x80000000) ||
        !FindResourceEntry(image, base, typeDir & 0x7FFFFFFF, IDD_UPDATER, &nameDir) ||
        !(nameDir & 0x80000000) ||
        !FindResourceEntry(image, base, nameDir & 0x7FFFFFFF, 0, &dataEntry) ||
        (dataEntry & 0x80000000) || !image.Dword(base + dataEntry, &dataRva) ||
        !image.Dword(base + dataEntry + 4, &dataSize) || !OffsetOf(pe, dataRva, &dataOffset) ||
        !image.Has(dataOffset, dataSize))
        return false;
    Image dialog{ image.bytes.substr(dataOffset, dataSize) };
    WORD version, signature;
    if (!dialog.Word(0, &version) || !dialog.Word(2, &signature))
        return false;
    // An extended template has 26 bytes before its menu; a plain one 18.
    size_t at = version == 1 && signature == 0xFFFF ? 26 : 18;
    for (int field = 0; field < 2; ++field) {  // menu, then window class
        WORD first;
        if (!dialog.Word(at, &first))
            return false;
        if (first == 0) {
            at += 2;  // none
        } else if (first == 0xFFFF) {
            at += 4;  // an ordinal
        } else {      // a zero-terminated name
            for (WORD c = first; c != 0;) {
                at += 2;
                if (!dialog.Word(at, &c))
                    return false;
            }
            at += 2;
        }
    }
    caption->clear();
    for (WORD c; dialog.Word(at, &c) && c != 0; at += 2)
        caption->push_back(static_cast<char16_t>(c));
    return dialog.Has(at, 2);
}

std::string Utf8(const std::u16string& text)
{
    std::wstring wide(text.begin(), text.end());
    int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? bytes : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &out[0], bytes, nullptr, nullptr);
    out.resize(bytes > 0 ? bytes - 1 : 0);
    return out;
}

std::string Format(const char* format, unsigned a, unsigned b)
{
    char text[128];
    snprintf(text, sizeof text, format, a, b);
    return text;
}

// "a.b.c.d" of the file's fixed version information, or empty without one.
std::string FileVersion(const std::string& path, bool* isRelease)
{
    *isRelease = false;
    std::vector<char> block = VersionBlock(path);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (block.empty() ||
        !VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) ||
        fixed == nullptr || length < sizeof *fixed)
        return std::string();
    *isRelease = fixed->dwFileVersionMS == RELEASE_VERSION_MS &&
                 fixed->dwFileVersionLS == RELEASE_VERSION_LS;
    char text[64];
    snprintf(text, sizeof text, "%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
             LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
             LOWORD(fixed->dwFileVersionLS));
    return text;
}

}  // namespace

std::vector<std::string> UpdaterProblems(const std::string& path, const std::string& bytes)
{
    std::vector<std::string> problems;
    Image image{ bytes };
    PeHeaders pe;
    if (!ReadHeaders(image, &pe)) {
        problems.push_back("is not a Windows program (no readable PE header)");
        return problems;
    }
    if (pe.machine != MACHINE_I386)
        problems.push_back(Format("is built for machine %#x, not for the 32-bit i386 (%#x)",
                                  pe.machine, MACHINE_I386));
    if (pe.magic != PE32_MAGIC) {
        problems.push_back(Format("is not a PE32 image (optional header magic %#x, not %#x)",
                                  pe.magic, PE32_MAGIC));
        return problems;
    }
    if (pe.subsystem != GUI_SUBSYSTEM)
        problems.push_back(Format("is not a GUI program (subsystem %u, not %u)", pe.subsystem,
                                  GUI_SUBSYSTEM));
    if (pe.subsystemMajor != 4 || pe.subsystemMinor != 0)
        problems.push_back(Format("has subsystem version %u.%u, not 4.0", pe.subsystemMajor,
                                  pe.subsystemMinor));
    if (pe.osMajor != 4 || pe.osMinor != 0)
        problems.push_back(Format("has OS version %u.%u, not 4.0", pe.osMajor, pe.osMinor));
    std::u16string caption;
    if (!DialogCaption(image, pe, &caption))
        problems.push_back("has no dialog " + std::to_string(IDD_UPDATER) + " with a caption");
    else if (caption != RELEASE_CAPTION)
        problems.push_back("has the dialog caption \"" + Utf8(caption) + "\", not \"" +
                           Utf8(RELEASE_CAPTION) + "\"");
    bool isRelease = false;
    std::string version = FileVersion(path, &isRelease);
    if (version.empty())
        problems.push_back("has no file version");
    else if (!isRelease)
        problems.push_back("has file version " + version + ", not 3.1.3.0");
    return problems;
}
