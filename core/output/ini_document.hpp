// An INI-style key file held in memory: ordered sections of ordered
// "key=value" lines. Section and key names compare without regard to letter
// case. Lines that are not keys (comments, stray text) are kept where they
// were, so rewriting a file a user edited loses nothing of it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vibrolan::datafiles {

class IniDocument {
public:
    // Parses UTF-8 text; CR LF, LF and CR line ends are accepted.
    static IniDocument parse(std::string_view text);
    // UTF-8 text with CR LF line ends; sections are separated by an empty line.
    std::string serialize() const;

    // Section names in file order (a section that appears twice is listed once).
    std::vector<std::string> sectionNames() const;
    bool hasSection(std::string_view section) const;
    bool hasKey(std::string_view section, std::string_view key) const;
    std::optional<std::string> find(std::string_view section, std::string_view key) const;
    std::string readString(std::string_view section, std::string_view key, std::string_view def) const;

    // Sets a key, appending the section or key when new. CR and LF in the
    // value become blanks so that a value can never start a new line.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void eraseSection(std::string_view section);
    void deleteKey(std::string_view section, std::string_view key);

private:
    struct Line {
        std::string key; // empty for a kept non-key line
        std::string value;
        bool isKey = false;
    };
    struct Section {
        std::string name;
        std::vector<Line> lines;
    };
    Section *findSection(std::string_view name);
    const Section *findSection(std::string_view name) const;
    Section &addSection(std::string_view name);
    void rebuildIndex();

    std::vector<std::string> preamble_; // lines before the first section
    std::vector<Section> sections_;
    // Folded section name -> position, so that large files stay linear to read.
    std::unordered_map<std::string, std::size_t> index_;
};

// Reads a key file stored in code page 1251 (a UTF-8 byte-order mark switches
// to UTF-8). Throws FileError when it cannot be read.
IniDocument loadIniFile(const std::filesystem::path &file);
// Writes the document in code page 1251, replacing the file only when the new
// content is complete. Throws FileError, also for a read-only file.
void saveIniFile(const std::filesystem::path &file, const IniDocument &doc);

} // namespace vibrolan::datafiles
