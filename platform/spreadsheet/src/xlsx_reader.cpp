// Reads a workbook from an .xlsx file: the zip container through zlib, then the sheets' cells
// (numbers, shared and inline texts) and the workbook's names from their XML parts. Every part
// is checked against its CRC-32. Anything the file does not hold as expected is a FileError;
// nothing is trusted for sizes or offsets.
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>

#include "spreadsheet/application.h"
#include "uilang/conversions.h"
#include "workbook_data.h"

namespace spreadsheet {
namespace {

constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint32_t kDirectoryEntry = 0x02014b50;
constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::size_t kEndOfDirectorySize = 22;
constexpr std::size_t kDirectoryEntrySize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kMaxCommentSize = 0xFFFF;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::size_t kMaxPartSize = std::size_t{1} << 30;

[[noreturn]] void Damaged(const std::string& what) {
    throw FileError("The file is not a workbook: " + what + ".");
}

struct Bytes {
    const std::string& data;
    std::uint32_t U32(std::size_t at) const {
        if (at > data.size() || data.size() - at < 4)
            Damaged("a record runs past the end");
        const auto* p = reinterpret_cast<const unsigned char*>(data.data() + at);
        return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }
    std::uint16_t U16(std::size_t at) const {
        if (at > data.size() || data.size() - at < 2)
            Damaged("a record runs past the end");
        const auto* p = reinterpret_cast<const unsigned char*>(data.data() + at);
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }
};

// The parts of the container by name, inflated.
std::map<std::string, std::string> Unzip(const std::string& data) {
    Bytes bytes{data};
    if (data.size() < kEndOfDirectorySize)
        Damaged("too short");
    std::size_t end = std::string::npos;
    std::size_t lowest = data.size() > kEndOfDirectorySize + kMaxCommentSize
                             ? data.size() - kEndOfDirectorySize - kMaxCommentSize
                             : 0;
    for (std::size_t at = data.size() - kEndOfDirectorySize + 1; at-- > lowest;) {
        if (bytes.U32(at) == kEndOfDirectory) {
            end = at;
            break;
        }
    }
    if (end == std::string::npos)
        Damaged("no zip directory");
    const std::uint16_t entries = bytes.U16(end + 10);
    std::size_t at = bytes.U32(end + 16);
    std::map<std::string, std::string> parts;
    for (std::uint16_t i = 0; i < entries; ++i) {
        if (bytes.U32(at) != kDirectoryEntry)
            Damaged("a broken zip directory");
        const std::uint16_t method = bytes.U16(at + 10);
        const std::uint32_t checksum = bytes.U32(at + 16);
        const std::uint32_t packed = bytes.U32(at + 20);
        const std::uint32_t size = bytes.U32(at + 24);
        const std::uint16_t nameLength = bytes.U16(at + 28);
        const std::uint16_t extraLength = bytes.U16(at + 30);
        const std::uint16_t commentLength = bytes.U16(at + 32);
        const std::uint32_t local = bytes.U32(at + 42);
        if (at + kDirectoryEntrySize + nameLength > data.size())
            Damaged("a broken zip directory");
        std::string name = data.substr(at + kDirectoryEntrySize, nameLength);
        at += kDirectoryEntrySize + nameLength + extraLength + commentLength;

        if (bytes.U32(local) != kLocalHeader)
            Damaged("a broken zip entry");
        std::size_t start =
            local + kLocalHeaderSize + bytes.U16(local + 26) + bytes.U16(local + 28);
        if (start > data.size() || data.size() - start < packed || size > kMaxPartSize)
            Damaged("a zip entry runs past the end");
        std::string content;
        if (method == kStored) {
            content = data.substr(start, packed);
        } else if (method == kDeflated) {
            content.resize(size);
            z_stream stream{};
            if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
                Damaged("no inflater");
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + start));
            stream.avail_in = packed;
            stream.next_out = reinterpret_cast<Bytef*>(content.data());
            stream.avail_out = size;
            int status = inflate(&stream, Z_FINISH);
            bool whole = status == Z_STREAM_END && stream.total_out == size;
            inflateEnd(&stream);
            if (!whole)
                Damaged("a zip entry that does not inflate");
        } else {
            Damaged("an unknown zip compression");
        }
        const auto crc = crc32(0L, reinterpret_cast<const Bytef*>(content.data()),
                               static_cast<uInt>(content.size()));
        if (crc != checksum)
            Damaged("a zip entry whose check sum does not match");
        parts[name] = std::move(content);
    }
    return parts;
}

std::string Decoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        std::size_t semicolon = text.find(';', i);
        if (semicolon == std::string::npos) {
            out += text[i];
            continue;
        }
        std::string entity = text.substr(i + 1, semicolon - i - 1);
        if (entity == "amp")
            out += '&';
        else if (entity == "lt")
            out += '<';
        else if (entity == "gt")
            out += '>';
        else if (entity == "quot")
            out += '"';
        else if (entity == "apos")
            out += '\'';
        else if (!entity.empty() && entity[0] == '#') {
            long code = entity.size() > 1 && (entity[1] == 'x' || entity[1] == 'X')
                            ? std::strtol(entity.c_str() + 2, nullptr, 16)
                            : std::strtol(entity.c_str() + 1, nullptr, 10);
            out += code > 0 && code < 0x80 ? static_cast<char>(code) : '?';
        } else {
            out += text.substr(i, semicolon - i + 1);
        }
        i = semicolon;
    }
    return out;
}

// The value of an attribute inside one tag's text, or empty.
std::string Attribute(const std::string& tag, const std::string& name) {
    std::size_t at = 0;
    while ((at = tag.find(name + "=\"", at)) != std::string::npos) {
        if (at == 0 || tag[at - 1] == ' ' || tag[at - 1] == '\t' || tag[at - 1] == '\n') {
            std::size_t start = at + name.size() + 2;
            std::size_t close = tag.find('"', start);
            if (close == std::string::npos)
                return "";
            return Decoded(tag.substr(start, close - start));
        }
        at += name.size();
    }
    return "";
}

// Calls `each` with the opening tag's text and the element's content, for every element of
// the name (self-closing ones with empty content).
template <typename Each>
void Elements(const std::string& xml, const std::string& name, Each each) {
    const std::string open = "<" + name;
    std::size_t at = 0;
    while ((at = xml.find(open, at)) != std::string::npos) {
        std::size_t after = at + open.size();
        if (after >= xml.size() || (xml[after] != ' ' && xml[after] != '>' && xml[after] != '/')) {
            at = after;
            continue;
        }
        std::size_t tagEnd = xml.find('>', after);
        if (tagEnd == std::string::npos)
            Damaged("an unclosed tag");
        std::string tag = xml.substr(at, tagEnd - at);
        if (xml[tagEnd - 1] == '/') {
            each(tag, std::string());
            at = tagEnd + 1;
            continue;
        }
        std::size_t close = xml.find("</" + name + ">", tagEnd);
        if (close == std::string::npos)
            Damaged("an unclosed element");
        each(tag, xml.substr(tagEnd + 1, close - tagEnd - 1));
        at = close;
    }
}

// All text of the <t> elements inside a string item.
std::string TextOf(const std::string& content) {
    std::string text;
    Elements(content, "t",
             [&](const std::string&, const std::string& inner) { text += Decoded(inner); });
    return text;
}

// "B12" into (12, 2).
std::pair<std::int32_t, std::int32_t> CellPlace(const std::string& reference) {
    std::size_t i = 0;
    std::int64_t column = 0;
    while (i < reference.size() && reference[i] >= 'A' && reference[i] <= 'Z') {
        column = column * 26 + (reference[i] - 'A' + 1);
        if (column > kMaxColumns)
            Damaged("a cell beyond the last column");
        ++i;
    }
    std::int64_t row = 0;
    std::size_t digits = 0;
    while (i < reference.size() && reference[i] >= '0' && reference[i] <= '9') {
        row = row * 10 + (reference[i] - '0');
        if (row > kMaxRows)
            Damaged("a cell beyond the last row");
        ++i;
        ++digits;
    }
    if (column == 0 || digits == 0 || row == 0 || i != reference.size())
        Damaged("a cell reference '" + reference + "'");
    return {static_cast<std::int32_t>(row), static_cast<std::int32_t>(column)};
}

// "$A" or "$A$1" into column (and row, 0 when none).
std::pair<std::int32_t, std::int32_t> RangeEnd(const std::string& text) {
    std::string plain;
    for (char c : text)
        if (c != '$')
            plain += c;
    std::size_t digit = plain.find_first_of("0123456789");
    if (digit == std::string::npos) {
        auto [row, column] = CellPlace(plain + "1");
        (void)row;
        return {0, column};
    }
    return CellPlace(plain);
}

NamedRange ParseReference(const WorkbookData& book, const std::string& reference) {
    std::size_t bang = reference.rfind('!');
    if (bang == std::string::npos)
        Damaged("a name without a sheet");
    std::string sheetName = reference.substr(0, bang);
    if (sheetName.size() >= 2 && sheetName.front() == '\'' && sheetName.back() == '\'')
        sheetName = sheetName.substr(1, sheetName.size() - 2);
    NamedRange range;
    bool found = false;
    for (std::size_t i = 0; i < book.sheets.size(); ++i)
        if (book.sheets[i].name == sheetName) {
            range.sheet = i;
            found = true;
        }
    if (!found)
        Damaged("a name on a sheet it does not have");
    std::string cells = reference.substr(bang + 1);
    std::size_t colon = cells.find(':');
    auto first = RangeEnd(cells.substr(0, colon));
    auto last = colon == std::string::npos ? first : RangeEnd(cells.substr(colon + 1));
    range.firstColumn = first.second;
    range.lastColumn = last.second;
    range.firstRow = first.first == 0 ? 1 : first.first;
    range.lastRow = last.first == 0 ? kMaxRows : last.first;
    return range;
}

std::string Part(const std::map<std::string, std::string>& parts, const std::string& name) {
    auto it = parts.find(name);
    if (it == parts.end())
        Damaged("no part " + name);
    return it->second;
}

}  // namespace

WorkbookData ReadWorkbook(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw FileError("Cannot access '" + path + "'.");
    std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::map<std::string, std::string> parts = Unzip(data);

    std::map<std::string, std::string> targets;  // relation id -> part name
    Elements(Part(parts, "xl/_rels/workbook.xml.rels"), "Relationship",
             [&](const std::string& tag, const std::string&) {
                 std::string target = Attribute(tag, "Target");
                 if (!target.empty() && target[0] == '/')
                     target = target.substr(1);
                 else
                     target = "xl/" + target;
                 targets[Attribute(tag, "Id")] = target;
             });

    std::vector<std::string> shared;
    if (parts.count("xl/sharedStrings.xml"))
        Elements(
            parts["xl/sharedStrings.xml"], "si",
            [&](const std::string&, const std::string& inner) { shared.push_back(TextOf(inner)); });

    WorkbookData book;
    const std::string workbookXml = Part(parts, "xl/workbook.xml");
    Elements(workbookXml, "sheet", [&](const std::string& tag, const std::string&) {
        Sheet sheet;
        sheet.name = Attribute(tag, "name");
        auto target = targets.find(Attribute(tag, "r:id"));
        if (target == targets.end())
            Damaged("a sheet without its part");
        Elements(Part(parts, target->second), "c",
                 [&](const std::string& cellTag, const std::string& inner) {
                     auto place = CellPlace(Attribute(cellTag, "r"));
                     std::string type = Attribute(cellTag, "t");
                     if (type == "inlineStr") {
                         sheet.cells[place] = TextOf(inner);
                         return;
                     }
                     std::string value;
                     Elements(inner, "v", [&](const std::string&, const std::string& v) {
                         value = Decoded(v);
                     });
                     if (value.empty())
                         return;
                     if (type == "s") {
                         double index = uilang::Val(value);
                         if (index < 0 || index >= static_cast<double>(shared.size()))
                             Damaged("a text index beyond the shared texts");
                         sheet.cells[place] = shared[static_cast<std::size_t>(index)];
                     } else if (type == "str" || type == "e") {
                         sheet.cells[place] = value;
                     } else if (type == "b") {
                         sheet.cells[place] = uilang::Val(value);
                     } else {
                         if (!uilang::IsNumeric(value))
                             Damaged("a number cell holding '" + value + "'");
                         sheet.cells[place] = uilang::Val(value);
                     }
                 });
        book.sheets.push_back(std::move(sheet));
    });
    if (book.sheets.empty())
        Damaged("no sheet");
    Elements(workbookXml, "definedName", [&](const std::string& tag, const std::string& inner) {
        // Names of one sheet and the application's own (print areas) are not kept.
        if (!Attribute(tag, "localSheetId").empty())
            return;
        book.names[Attribute(tag, "name")] = ParseReference(book, Decoded(inner));
    });
    return book;
}

}  // namespace spreadsheet
