#include "export/hdf5_table.hpp"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace vibrolan::hdf5 {

namespace {

using identify::TableColumn;

Handle boolType(hid_t base)
{
    Handle t(H5Tenum_create(base), H5Tclose);
    const std::int8_t no = 0, yes = 1;
    if (t.get() < 0 || H5Tenum_insert(t.get(), "FALSE", &no) < 0 || H5Tenum_insert(t.get(), "TRUE", &yes) < 0)
        return {};
    return t;
}

// A member's memory size and its memory and file types.
struct Member {
    std::size_t size = 0;
    Handle memory, file;
};

Member memberOf(const TableColumn &c)
{
    return std::visit(
        [](const auto &v) -> Member {
            using V = std::remove_cvref_t<decltype(v)>;
            if constexpr (std::is_same_v<V, std::vector<double>>)
                return {sizeof(double), Handle(H5Tcopy(H5T_NATIVE_DOUBLE), H5Tclose),
                        Handle(H5Tcopy(H5T_IEEE_F64LE), H5Tclose)};
            else if constexpr (std::is_same_v<V, std::vector<std::int64_t>>)
                return {sizeof(std::int64_t), Handle(H5Tcopy(H5T_NATIVE_INT64), H5Tclose),
                        Handle(H5Tcopy(H5T_STD_I64LE), H5Tclose)};
            else if constexpr (std::is_same_v<V, TableColumn::Flags>)
                return {sizeof(std::int8_t), boolType(H5T_NATIVE_INT8), boolType(H5T_STD_I8LE)};
            else
                return {sizeof(const char *), Utf8StringType(), Utf8StringType()};
        },
        c.values);
}

// Copies row `r` of the column into the record at `at`.
void put(const TableColumn &c, std::size_t r, unsigned char *at)
{
    std::visit(
        [&](const auto &v) {
            using V = std::remove_cvref_t<decltype(v)>;
            if constexpr (std::is_same_v<V, TableColumn::Flags>) {
                const std::int8_t b = v.v[r] ? 1 : 0;
                std::memcpy(at, &b, sizeof b);
            } else if constexpr (std::is_same_v<V, std::vector<std::string>>) {
                const char *p = v[r].c_str();
                std::memcpy(at, &p, sizeof p);
            } else {
                std::memcpy(at, &v[r], sizeof v[r]);
            }
        },
        c.values);
}

} // namespace

void WriteTable(const Writer &w, hid_t parent, const identify::ResultTable &table)
{
    std::vector<Member> members;
    std::vector<std::size_t> offsets;
    std::size_t recordSize = 0, fileSize = 0;
    std::string units;
    for (const TableColumn &c : table.columns) {
        const std::size_t n = std::visit(
            [](const auto &v) {
                if constexpr (std::is_same_v<std::remove_cvref_t<decltype(v)>, TableColumn::Flags>)
                    return v.v.size();
                else
                    return v.size();
            },
            c.values);
        if (n != table.rows)
            w.fail("internal error: the column \"" + c.name + "\" of the table \"" + table.name +
                   "\" has the wrong length");
        members.push_back(memberOf(c));
        Member &m = members.back();
        if (m.memory.get() < 0 || m.file.get() < 0)
            w.fail("cannot lay out the table \"" + table.name + "\"");
        // Doubles and pointers first in their own alignment: every member size divides 8.
        offsets.push_back(recordSize);
        recordSize += 8;
        fileSize += H5Tget_size(m.file.get());
        if (!c.units.empty())
            units += (units.empty() ? "" : "; ") + c.name + ": " + c.units;
    }
    Handle memory(H5Tcreate(H5T_COMPOUND, std::max<std::size_t>(recordSize, 1)), H5Tclose);
    Handle file(H5Tcreate(H5T_COMPOUND, std::max<std::size_t>(fileSize, 1)), H5Tclose);
    if (memory.get() < 0 || file.get() < 0)
        w.fail("cannot lay out the table \"" + table.name + "\"");
    std::size_t fileOffset = 0;
    for (std::size_t i = 0; i < members.size(); ++i) {
        const char *name = table.columns[i].name.c_str();
        if (H5Tinsert(memory.get(), name, offsets[i], members[i].memory.get()) < 0 ||
            H5Tinsert(file.get(), name, fileOffset, members[i].file.get()) < 0)
            w.fail("cannot lay out the table \"" + table.name + "\"");
        fileOffset += H5Tget_size(members[i].file.get());
    }
    std::vector<unsigned char> records(recordSize * table.rows);
    for (std::size_t r = 0; r < table.rows; ++r)
        for (std::size_t i = 0; i < members.size(); ++i)
            put(table.columns[i], r, records.data() + r * recordSize + offsets[i]);
    w.records(parent, table.name.c_str(), memory.get(), file.get(), records.data(), table.rows, units);
}

} // namespace vibrolan::hdf5
