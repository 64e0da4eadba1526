#include "output/ini_document.hpp"

#include "base/code_pages.hpp"
#include "base/file_io.hpp"
#include "output/safe_file.hpp"
#include "output/text_utils.hpp"

namespace vibrolan::datafiles {

namespace {

// Key files are small; anything beyond this is not a key file.
constexpr std::uint64_t maxKeyFileBytes = UINT64_C(64) << 20;

std::string withoutLineBreaks(std::string_view value)
{
    std::string out(value);
    for (char &c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    return out;
}

} // namespace

IniDocument IniDocument::parse(std::string_view text)
{
    IniDocument doc;
    Section *current = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view raw = text.substr(pos, end - pos);
        if (end == text.size())
            pos = end;
        else if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
            pos = end + 2;
        else
            pos = end + 1;

        std::string_view line = raw;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (trimBlanks(line).empty())
            continue;
        if (line.front() == '[') {
            std::string_view name = line.substr(1);
            if (auto close = name.find(']'); close != std::string_view::npos)
                name = name.substr(0, close);
            name = trimBlanks(name);
            current = doc.findSection(name);
            if (current == nullptr)
                current = &doc.addSection(name);
            continue;
        }
        // Values are kept exactly, trailing blanks included: texts such as the
        // test name "Выбег   " are compared with their blanks.
        Line entry;
        auto eq = line.find('=');
        if (eq != std::string_view::npos && line.front() != ';' && line.front() != '#') {
            entry.isKey = true;
            entry.key = std::string(trimBlanks(line.substr(0, eq)));
            entry.value = std::string(line.substr(eq + 1));
        } else {
            entry.value = std::string(trimBlanks(line));
        }
        if (current == nullptr)
            doc.preamble_.push_back(entry.isKey ? std::string(line) : entry.value);
        else
            current->lines.push_back(std::move(entry));
    }
    return doc;
}

std::string IniDocument::serialize() const
{
    std::string out;
    for (const auto &line : preamble_)
        out += line + "\r\n";
    bool first = preamble_.empty();
    for (const auto &section : sections_) {
        if (!first)
            out += "\r\n";
        first = false;
        out += "[" + section.name + "]\r\n";
        for (const auto &line : section.lines) {
            if (line.isKey)
                out += line.key + "=" + line.value + "\r\n";
            else
                out += line.value + "\r\n";
        }
    }
    return out;
}

IniDocument::Section *IniDocument::findSection(std::string_view name)
{
    auto it = index_.find(foldCase(name));
    return it == index_.end() ? nullptr : &sections_[it->second];
}

IniDocument::Section &IniDocument::addSection(std::string_view name)
{
    index_.emplace(foldCase(name), sections_.size());
    sections_.push_back(Section{std::string(name), {}});
    return sections_.back();
}

void IniDocument::rebuildIndex()
{
    index_.clear();
    for (std::size_t i = 0; i < sections_.size(); ++i)
        index_.emplace(foldCase(sections_[i].name), i);
}

const IniDocument::Section *IniDocument::findSection(std::string_view name) const
{
    return const_cast<IniDocument *>(this)->findSection(name);
}

std::vector<std::string> IniDocument::sectionNames() const
{
    std::vector<std::string> names;
    names.reserve(sections_.size());
    for (const auto &s : sections_)
        names.push_back(s.name);
    return names;
}

bool IniDocument::hasSection(std::string_view section) const { return findSection(section) != nullptr; }

bool IniDocument::hasKey(std::string_view section, std::string_view key) const
{
    return find(section, key).has_value();
}

std::optional<std::string> IniDocument::find(std::string_view section, std::string_view key) const
{
    const Section *s = findSection(section);
    if (s == nullptr)
        return std::nullopt;
    const std::string folded = foldCase(key);
    for (const auto &line : s->lines)
        if (line.isKey && foldCase(line.key) == folded)
            return line.value;
    return std::nullopt;
}

std::string IniDocument::readString(std::string_view section, std::string_view key,
                                    std::string_view def) const
{
    auto v = find(section, key);
    return v ? *v : std::string(def);
}

void IniDocument::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    Section *s = findSection(section);
    if (s == nullptr)
        s = &addSection(section);
    const std::string folded = foldCase(key);
    for (auto &line : s->lines)
        if (line.isKey && foldCase(line.key) == folded) {
            line.value = withoutLineBreaks(value);
            return;
        }
    s->lines.push_back(Line{std::string(key), withoutLineBreaks(value), true});
}

void IniDocument::eraseSection(std::string_view section)
{
    const std::string folded = foldCase(section);
    std::erase_if(sections_, [&](const Section &s) { return foldCase(s.name) == folded; });
    rebuildIndex();
}

void IniDocument::deleteKey(std::string_view section, std::string_view key)
{
    Section *s = findSection(section);
    if (s == nullptr)
        return;
    const std::string folded = foldCase(key);
    std::erase_if(s->lines, [&](const Line &l) { return l.isKey && foldCase(l.key) == folded; });
}

IniDocument loadIniFile(const std::filesystem::path &file)
{
    std::vector<std::uint8_t> bytes = readWholeFile(file, maxKeyFileBytes);
    std::string_view raw(reinterpret_cast<const char *>(bytes.data()), bytes.size());
    if (raw.starts_with("\xEF\xBB\xBF"))
        return IniDocument::parse(raw.substr(3));
    return IniDocument::parse(cp1251ToUtf8(raw));
}

void saveIniFile(const std::filesystem::path &file, const IniDocument &doc)
{
    writeFileAtomically(file, utf8ToCp1251(doc.serialize()));
}

} // namespace vibrolan::datafiles
