#include "output/prax_file.hpp"

#include "base/code_pages.hpp"
#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "output/text_utils.hpp"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace vibrolan {

using namespace datafiles;

namespace {

// "ПРКС" in code page 866.
constexpr std::array<std::uint8_t, 4> praxTag{0x8F, 0x90, 0x8A, 0x91};
constexpr std::uint16_t maxChannels = 65535;

void putU16(std::uint8_t *p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void putU32(std::uint8_t *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void putF32(std::uint8_t *p, float v) { putU32(p, std::bit_cast<std::uint32_t>(v)); }

std::uint16_t getU16(const std::uint8_t *p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::uint32_t getU32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

float getF32(const std::uint8_t *p) { return std::bit_cast<float>(getU32(p)); }

// Cuts the encoded text to the field; a shorter text is followed by 00 bytes.
template <std::size_t N> std::array<std::uint8_t, N> textField(std::string_view encoded)
{
    std::array<std::uint8_t, N> field{};
    std::memcpy(field.data(), encoded.data(), std::min(N, encoded.size()));
    return field;
}

std::string upToNul(std::span<const std::uint8_t> field, std::size_t maxChars)
{
    std::size_t n = 0;
    while (n < field.size() && n < maxChars && field[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char *>(field.data()), n);
}

} // namespace

std::array<std::uint8_t, TTitle::size> TTitle::toBytes() const
{
    std::array<std::uint8_t, size> b{};
    std::memcpy(b.data(), PRAXRec.data(), 4);
    std::memcpy(b.data() + 4, ProdName.data(), 8);
    std::memcpy(b.data() + 12, TestName.data(), 8);
    std::memcpy(b.data() + 20, Date.data(), 8);
    putU16(b.data() + 28, Nchan);
    putU16(b.data() + 30, Reserv);
    return b;
}

TTitle TTitle::fromBytes(const std::uint8_t *p)
{
    TTitle t;
    std::memcpy(t.PRAXRec.data(), p, 4);
    std::memcpy(t.ProdName.data(), p + 4, 8);
    std::memcpy(t.TestName.data(), p + 12, 8);
    std::memcpy(t.Date.data(), p + 20, 8);
    t.Nchan = getU16(p + 28);
    t.Reserv = getU16(p + 30);
    return t;
}

std::array<std::uint8_t, TPasspU::size> TPasspU::toBytes() const
{
    std::array<std::uint8_t, size> b{};
    std::memcpy(b.data(), ParName.data(), 12);
    std::memcpy(b.data() + 12, CharName.data(), 12);
    std::memcpy(b.data() + 24, Units.data(), 8);
    putF32(b.data() + 32, Step);
    putF32(b.data() + 36, K0);
    putF32(b.data() + 40, K1);
    putU32(b.data() + 44, Length);
    b[48] = Format;
    putF32(b.data() + 49, Tn);
    putF32(b.data() + 53, Tk);
    b[57] = Reserv;
    return b;
}

TPasspU TPasspU::fromBytes(const std::uint8_t *p)
{
    TPasspU r;
    std::memcpy(r.ParName.data(), p, 12);
    std::memcpy(r.CharName.data(), p + 12, 12);
    std::memcpy(r.Units.data(), p + 24, 8);
    r.Step = getF32(p + 32);
    r.K0 = getF32(p + 36);
    r.K1 = getF32(p + 40);
    r.Length = getU32(p + 44);
    r.Format = p[48];
    r.Tn = getF32(p + 49);
    r.Tk = getF32(p + 53);
    r.Reserv = p[57];
    return r;
}

std::string TPRAXFile::decodeText(std::span<const std::uint8_t> field, std::size_t maxChars)
{
    return cp866ToUtf8(upToNul(field, maxChars));
}

std::string TPRAXFile::decodeDate(std::span<const std::uint8_t> field)
{
    return cp1251ToUtf8(upToNul(field, field.size()));
}

std::uint64_t TPRAXFile::dataStart() const
{
    return TTitle::size + TPasspU::size * std::uint64_t{PasspU.size()};
}

std::uint64_t TPRAXFile::blockBytes(std::size_t i) const
{
    return std::uint64_t{PasspU[i].Length} * PasspU[i].Format;
}

std::uint64_t TPRAXFile::blockOffset(std::size_t a) const
{
    std::uint64_t offset = dataStart();
    for (std::size_t i = 0; i < a; ++i)
        offset += blockBytes(i) + 2;
    return offset;
}

void TPRAXFile::Create(const std::filesystem::path &FileName, std::uint16_t Mode)
{
    const bool wantWrite = (Mode & 3) != 0;
    // O_NONBLOCK: opening a FIFO or device named like a data file must not hang.
    UniqueFd fd(::open(FileName.c_str(), (wantWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK));
    bool writable = wantWrite;
    if (!fd.valid() && wantWrite && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        fd = UniqueFd(::open(FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        writable = false;
    }
    if (!fd.valid())
        throw FileError(FileName, "cannot open: " + systemErrorText(errno));
    requireRegularFile(fd.get(), FileName);
    const std::uint64_t size = fileSize(fd.get(), FileName);
    if (size < TTitle::size)
        throw FormatError(FileName, "too short for a PRAX header");
    std::array<std::uint8_t, TTitle::size> head{};
    readExactlyAt(fd.get(), 0, head.data(), head.size(), FileName);
    TTitle title = TTitle::fromBytes(head.data());
    // The table must be in the file before anything is allocated for it.
    const std::uint64_t tableBytes = TPasspU::size * std::uint64_t{title.Nchan};
    if (size < TTitle::size + tableBytes)
        throw FormatError(FileName, "the channel table of " + std::to_string(title.Nchan) +
                                        " channels does not fit the file");
    std::vector<std::uint8_t> table(static_cast<std::size_t>(tableBytes));
    readExactlyAt(fd.get(), TTitle::size, table.data(), table.size(), FileName);
    std::vector<TPasspU> records;
    records.reserve(title.Nchan);
    for (std::size_t i = 0; i < title.Nchan; ++i) {
        records.push_back(TPasspU::fromBytes(table.data() + i * TPasspU::size));
        if (records.back().Length > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
            throw FormatError(FileName, "channel " + std::to_string(i + 1) + " has a negative length");
    }
    fd_ = std::move(fd);
    writable_ = writable;
    Title = title;
    PasspU = std::move(records);
    PRAX = FileName;
}

void TPRAXFile::CreateNew(const std::filesystem::path &FileName, const std::string &InterpName,
                          const std::string &TestName, std::uint16_t /*Mode*/, std::int32_t /*Nch*/,
                          std::string_view dateText)
{
    const std::filesystem::path file = changeFileExt(FileName.string(), ".prx");
    TTitle title;
    title.PRAXRec = praxTag;
    title.ProdName = textField<8>(utf8ToCp866(InterpName));
    title.TestName = textField<8>(utf8ToCp866(TestName));
    title.Date = textField<8>(utf8ToCp1251(dateText));
    const auto bytes = title.toBytes();
    writeFileAtomically(file, std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
    PRAX = file;
    Title = title;
    PasspU.clear();
    writable_ = true;
    reopen();
}

void TPRAXFile::reopen()
{
    UniqueFd fd(::open(PRAX.c_str(), (writable_ ? O_RDWR : O_RDONLY) | O_CLOEXEC));
    if (!fd.valid())
        throw FileError(PRAX, "cannot open: " + systemErrorText(errno));
    fd_ = std::move(fd);
}

void TPRAXFile::requireWritable() const
{
    if (!fd_.valid())
        throw FileError(PRAX, "the file is not open");
    if (!writable_)
        throw FileError(PRAX, "the file is open for reading only");
}

std::vector<std::uint8_t> TPRAXFile::Get2buffer(int Channum, std::int32_t &N) const
{
    if (Channum < 0 || static_cast<std::size_t>(Channum) >= PasspU.size())
        throw ValueError("no channel " + std::to_string(Channum) + " in " + PRAX.string());
    const auto ch = static_cast<std::size_t>(Channum);
    if (!isStoredSampleFormat(PasspU[ch].Format))
        throw FormatError(PRAX, "channel " + std::to_string(Channum + 1) + " has the unknown sample format " +
                                    std::to_string(PasspU[ch].Format));
    const std::uint64_t offset = blockOffset(ch);
    const std::uint64_t bytes = blockBytes(ch);
    if (offset + bytes > fileSize(fd_.get(), PRAX))
        throw FormatError(PRAX, "the samples of channel " + std::to_string(Channum + 1) +
                                    " lie beyond the file's end");
    if (bytes > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        throw FormatError(PRAX, "channel " + std::to_string(Channum + 1) + " is too large");
    std::vector<std::uint8_t> data(static_cast<std::size_t>(bytes));
    readExactlyAt(fd_.get(), offset, data.data(), data.size(), PRAX);
    N = static_cast<std::int32_t>(bytes);
    return data;
}

void TPRAXFile::AddBuffer(std::int32_t N, std::span<const std::byte> Pntr, const TPassp &Pssp)
{
    requireWritable();
    if (PasspU.size() >= maxChannels)
        throw ValueError(PRAX.string() + ": a PRAX file holds at most 65535 channels");
    if (N < 0)
        throw ValueError("negative sample count " + std::to_string(N));
    if (!isStoredSampleFormat(Pssp.FormatY))
        throw ValueError("channel \"" + Pssp.ParName +
                         "\": values can be written only as byte, int, single or double");
    const std::size_t bytes = static_cast<std::size_t>(N) * Pssp.FormatY;
    if (Pntr.size() < bytes)
        throw ValueError("channel \"" + Pssp.ParName + "\": fewer values than " + std::to_string(N));

    TPasspU rec;
    rec.ParName = textField<12>(utf8ToCp866(Pssp.ParName));
    rec.CharName = textField<12>(utf8ToCp866(Pssp.CharName));
    rec.Units = textField<8>(utf8ToCp866(Pssp.YUnits));
    rec.Step = Pssp.Freq != 0 ? 1.0f / Pssp.Freq : 0.0f; // a frequency of 0 has no step
    rec.K0 = Pssp.K0;
    rec.K1 = Pssp.K1;
    rec.Length = static_cast<std::uint32_t>(N);
    rec.Format = Pssp.FormatY;
    rec.Tn = Pssp.Tn;
    rec.Tk = 0;
    rec.Reserv = 0;

    TTitle title = Title;
    title.Nchan = static_cast<std::uint16_t>(PasspU.size() + 1);
    const std::uint64_t oldData = blockOffset(PasspU.size()) - dataStart();

    FileReplacement out(PRAX);
    const auto head = title.toBytes();
    out.write(head.data(), head.size());
    for (const auto &r : PasspU) {
        const auto b = r.toBytes();
        out.write(b.data(), b.size());
    }
    const auto newRec = rec.toBytes();
    out.write(newRec.data(), newRec.size());
    out.copyFrom(fd_.get(), dataStart(), oldData, PRAX);
    out.write(Pntr.data(), bytes);
    out.write("\xFF\xFF", 2);
    out.commit();

    Title = title;
    PasspU.push_back(rec);
    reopen();
}

void TPRAXFile::DeletePar(int NPar)
{
    requireWritable();
    if (NPar < 0 || static_cast<std::size_t>(NPar) >= PasspU.size())
        throw ValueError("no channel " + std::to_string(NPar) + " in " + PRAX.string());
    const auto del = static_cast<std::size_t>(NPar);
    TTitle title = Title;
    title.Nchan = static_cast<std::uint16_t>(PasspU.size() - 1);

    FileReplacement out(PRAX);
    const auto head = title.toBytes();
    out.write(head.data(), head.size());
    for (std::size_t i = 0; i < PasspU.size(); ++i) {
        if (i == del)
            continue;
        const auto b = PasspU[i].toBytes();
        out.write(b.data(), b.size());
    }
    std::uint64_t offset = dataStart();
    for (std::size_t i = 0; i < PasspU.size(); ++i) {
        const std::uint64_t block = blockBytes(i) + 2;
        if (i != del)
            out.copyFrom(fd_.get(), offset, block, PRAX);
        offset += block;
    }
    out.commit();

    Title = title;
    PasspU.erase(PasspU.begin() + NPar);
    reopen();
}

} // namespace vibrolan
