#include "output/data_file.hpp"

#include "base/code_pages.hpp"
#include "base/errors.hpp"
#include "output/date_time_text.hpp"
#include "output/sample_codec.hpp"
#include "output/text_utils.hpp"

#include <cmath>
#include <limits>
#include <system_error>
#include <type_traits>

namespace vibrolan {

using namespace datafiles;

namespace {

constexpr double singleMax = 3.4028234663852886e38;
constexpr std::int32_t maxDeclaredChannels = 65535;

bool namesPrax(const std::filesystem::path &name)
{
    const std::string s = name.string();
    return s.find(".prx") != std::string::npos || s.find(".PRX") != std::string::npos;
}

template <class T> T scaled(double raw, float k1, float k0)
{
    const double v = raw * static_cast<double>(k1) + static_cast<double>(k0);
    if constexpr (std::is_same_v<T, float>)
        return toSingleOrZero(v);
    else
        return std::isfinite(v) ? v : 0.0;
}

// Argument values are taken as stored; only a finite value beyond single
// range, which a single cannot hold, becomes 0.
template <class T> T unscaled(double raw)
{
    if constexpr (std::is_same_v<T, float>)
        return std::isfinite(raw) ? toSingleOrZero(raw) : static_cast<float>(raw);
    else
        return raw;
}

} // namespace

TDataF::TDataF(DataFileEnv env) : env_(std::move(env)) {}

TDataF::~TDataF() { Destroy(); }

void TDataF::Destroy()
{
    PrFile.reset();
    ZaFile.reset();
    Nchan = 0;
    PRAXRec.clear();
    ProdName.clear();
    TestName.clear();
    Date.clear();
    DaName.clear();
    resizeChannelArrays(0, 0);
    Passp.clear();
}

void TDataF::resizeChannelArrays(std::size_t n, std::int32_t fill)
{
    Targets.assign(n, 0);
    ViewSer.assign(n, fill);
    ProcessNum.assign(n, fill);
    DblBuffPntrY.assign(n, {});
    DblBuffPntrX.assign(n, {});
    SnglBuffPntrY.assign(n, {});
    SnglBuffPntrX.assign(n, {});
    Mxmm.assign(n, 0);
    Mnmm.assign(n, 0);
    xfact.assign(n, 0);
}

void TDataF::Create(const std::filesystem::path &FileName, std::uint16_t Mode)
{
    if (namesPrax(FileName)) {
        auto file = std::make_unique<TPRAXFile>();
        file->Create(FileName, Mode);
        std::vector<TPassp> passports;
        passports.reserve(file->PasspU.size());
        for (const auto &rec : file->PasspU) {
            TPassp p;
            p.ParName = TPRAXFile::decodeText(rec.ParName, rec.ParName.size());
            p.CharName = TPRAXFile::decodeText(rec.CharName, rec.CharName.size());
            p.YUnits = TPRAXFile::decodeText(rec.Units, rec.Units.size());
            p.Freq = rec.Step != 0 ? 1.0f / rec.Step : 0.0f; // a step of 0 gives no frequency
            p.K0 = rec.K0;
            p.K1 = rec.K1;
            p.Length = static_cast<std::int32_t>(rec.Length); // checked by TPRAXFile::Create
            p.FormatY = rec.Format;
            p.Tn = rec.Tn;
            p.Tk = rec.Tk;
            p.Reserv = rec.Reserv;
            passports.push_back(std::move(p));
        }
        Destroy();
        FormType = ftPrx;
        PRAXRec = "PRAX";
        DaName = FileName;
        // The eighth byte of the product and test names counts as a terminator.
        ProdName = TPRAXFile::decodeText(file->Title.ProdName, 7);
        TestName = TPRAXFile::decodeText(file->Title.TestName, 7);
        Date = TPRAXFile::decodeDate(file->Title.Date);
        Nchan = static_cast<std::int32_t>(passports.size());
        resizeChannelArrays(passports.size(), -1);
        for (std::size_t i = 0; i < file->PasspU.size(); ++i)
            Targets[i] = file->PasspU[i].Reserv;
        Passp = std::move(passports);
        PrFile = std::move(file);
        return;
    }

    auto file = std::make_unique<TZAMIFile>(env_);
    file->Create(FileName, Mode);
    std::vector<TPassp> passports;
    passports.reserve(file->SectNames.size());
    for (std::size_t i = 0; i < file->SectNames.size(); ++i)
        passports.push_back(file->ReadPassport(static_cast<int>(i)));
    Destroy();
    FormType = ftZami;
    PRAXRec = "ZAMI";
    DaName = FileName;
    ProdName = file->Keys().readString("ZAMI", "Prod", "");
    TestName = file->Keys().readString("ZAMI", "Test", "");
    Date = file->Keys().readString("ZAMI", "Date", "");
    Nchan = static_cast<std::int32_t>(passports.size());
    resizeChannelArrays(passports.size(), -1);
    Passp = std::move(passports);
    ZaFile = std::move(file);
}

void TDataF::CreateNew(const std::filesystem::path &FileName, const std::string &PrName,
                       const std::string &TstName, TFormType FType, std::uint16_t Mode, std::int32_t Nch,
                       float Tm, const std::string &Info)
{
    std::error_code ec;
    if (std::filesystem::exists(FileName, ec) && !std::filesystem::is_directory(FileName, ec)) {
        Create(FileName, Mode);
        return;
    }
    if (Nch < 0 || Nch > maxDeclaredChannels)
        throw ValueError("cannot declare " + std::to_string(Nch) + " channels");
    if (FType != ftPrx && FType != ftZami)
        throw ValueError("unknown data file type " + std::to_string(static_cast<int>(FType)));

    const double now = env_.currentTime();
    std::unique_ptr<TPRAXFile> prax;
    std::unique_ptr<TZAMIFile> zami;
    if (FType == ftPrx) {
        prax = std::make_unique<TPRAXFile>();
        const NumberFormat &nf = env_.numberFormat;
        prax->CreateNew(FileName, PrName, TstName, Mode, Nch,
                        formatDateTime(now, nf.shortDateFormat + " " + nf.longTimeFormat));
    } else {
        zami = std::make_unique<TZAMIFile>(env_);
        zami->CreateNew(FileName, PrName, TstName, Mode, Nch, Tm, Info);
    }

    Destroy();
    FormType = FType;
    PRAXRec = FType == ftPrx ? "PRAX" : "ZAMI";
    DaName = FType == ftPrx ? prax->PRAX : zami->Zami;
    Nchan = Nch;
    ProdName = PrName;
    TestName = TstName;
    Date = formatDateTime(std::trunc(now), env_.numberFormat.shortDateFormat);
    resizeChannelArrays(static_cast<std::size_t>(Nch), -1);
    Passp.resize(static_cast<std::size_t>(Nch));
    for (std::int32_t i = 0; i < Nch; ++i) {
        TPassp &p = Passp[static_cast<std::size_t>(i)];
        p.ParName = "Parameter " + std::to_string(i);
        p.YUnits = "codes";
        p.XUnits = "codes";
        p.Freq = 1;
        p.K0 = 0;
        p.K1 = 1;
        p.FormatY = sfInt;
        p.HardChan = static_cast<std::uint16_t>(i + 1);
        p.HardId = 0;
        p.Tn = 0;
    }
    PrFile = std::move(prax);
    ZaFile = std::move(zami);
}

void TDataF::AddBuffer(std::int32_t N, const std::string &frstrY, const std::string &frstrX,
                       std::span<const std::byte> Pntr, std::span<const std::byte> PntrX,
                       const std::string &Parnm, const std::string &CharNm, const std::string &YUnts,
                       const std::string &XUnts, float Frqw, std::uint32_t ChTP, float K00, float K01,
                       const T3D *treeD)
{
    AddBuffer(N, frstrY, frstrX, Pntr, PntrX, Parnm, CharNm, YUnts, XUnts, std::string(), Frqw, ChTP, K00,
              K01, treeD);
}

void TDataF::AddBuffer(std::int32_t N, const std::string &frstrY, const std::string &frstrX,
                       std::span<const std::byte> Pntr, std::span<const std::byte> PntrX,
                       const std::string &Parnm, const std::string &CharNm, const std::string &YUnts,
                       const std::string &XUnts, const std::string &UTSprm, float Frqw, std::uint32_t ChTP,
                       float K00, float K01, const T3D *treeD)
{
    if (!PrFile && !ZaFile)
        throw ValueError("no data file is open");
    TPassp p;
    // A ZAMI channel's name is stored in code page 1251 and names its files:
    // keep the form the key file can hold, so that both agree.
    p.ParName = ZaFile ? cp1251ToUtf8(utf8ToCp1251(Parnm)) : Parnm;
    p.CharName = CharNm;
    p.YUnits = YUnts;
    p.XUnits = XUnts;
    p.UTSparam = UTSprm;
    p.CharTp = ChTP;
    p.Freq = Frqw;
    p.K0 = K00;
    p.K1 = K01;
    p.Length = N;
    p.FormatY = sampleFormatCode(frstrY);
    p.FormatX = sampleFormatCode(frstrX);
    p.Tn = 0;
    p.Tk = static_cast<float>(N);
    p.HardChan = static_cast<std::uint16_t>(Nchan + 1);
    p.HardId = env_.newHardId();
    p.Reserv = 0;
    if (treeD != nullptr)
        p.ZAxis = *treeD;

    if (PrFile) {
        PrFile->AddBuffer(N, Pntr, p);
    } else {
        ZaFile->AddBuffer(N, Pntr, PntrX, p);
        if (p.FormatX == sfShared) {
            IniDocument &keys = ZaFile->Keys();
            keys.writeString(p.ParName, "XFile", changeFileExt(frstrX, ".x"));
            if (keys.hasSection(frstrX))
                keys.writeString(p.ParName, "XFormat", keys.readString(frstrX, "XFormat", "single"));
        }
        ZaFile->UpdateFile();
        auto &names = ZaFile->SectNames;
        const auto at = std::min(static_cast<std::size_t>(Nchan), names.size());
        names.insert(names.begin() + static_cast<std::ptrdiff_t>(at), p.ParName);
        ZaFile->Nchan += 1;
    }

    Nchan += 1;
    Targets.push_back(0);
    ViewSer.push_back(0);
    ProcessNum.push_back(0);
    DblBuffPntrY.emplace_back();
    DblBuffPntrX.emplace_back();
    SnglBuffPntrY.emplace_back();
    SnglBuffPntrX.emplace_back();
    Mxmm.push_back(0);
    Mnmm.push_back(0);
    xfact.push_back(0);
    // Passp always holds Nchan entries; the other arrays may be longer after DeletePar.
    Passp.push_back(std::move(p));
}

int TDataF::AddPoint(const std::string &Parnm, double y, double x)
{
    if (!ZaFile)
        return -1;
    for (std::int32_t k = Nchan - 1; k >= 0; --k) {
        TPassp &p = Passp[static_cast<std::size_t>(k)];
        if (p.ParName != Parnm)
            continue;
        ZaFile->AddPoint(y, x, p);
        if (isStoredSampleFormat(p.FormatY) && p.FormatY != sfByte &&
            p.Length < std::numeric_limits<std::int32_t>::max())
            p.Length += 1;
        return k;
    }
    return -1;
}

void TDataF::DeletePar(int NPar)
{
    if (NPar < 0 || NPar >= Nchan)
        throw ValueError("no channel " + std::to_string(NPar) + " to delete");
    if (PrFile)
        PrFile->DeletePar(NPar);
    else if (ZaFile)
        ZaFile->DeletePar(Passp[static_cast<std::size_t>(NPar)].ParName);
    Passp.erase(Passp.begin() + NPar);
    Nchan -= 1;
}

void TDataF::WriteInfo(const std::string &info)
{
    if (ZaFile)
        ZaFile->Keys().writeString("ZAMI", "Info", info);
}

template <class TY, class TX>
std::int32_t TDataF::readChannel(int Channum, std::vector<TY> &y, std::vector<TX> &x,
                                 const ProgressFn &progress)
{
    if (!PrFile && !ZaFile)
        throw ValueError("no data file is open");
    if (Channum < 0 || Channum >= Nchan)
        throw ValueError("no channel " + std::to_string(Channum) + " in " + DaName.string());
    const auto ch = static_cast<std::size_t>(Channum);
    TPassp &p = Passp[ch];

    TRawChannel raw;
    std::int32_t bytes = 0;
    std::filesystem::path valueFile = DaName;
    std::filesystem::path argumentFile = DaName;
    if (PrFile) {
        raw.values = PrFile->Get2buffer(Channum, bytes);
    } else {
        raw = ZaFile->Get2buffer(Channum, bytes);
        valueFile = ZaFile->ChannelFile(ZaFile->SectNames[ch], ".dat");
        argumentFile = ZaFile->ChannelFile(ZaFile->SectNames[ch], ".x");
    }
    const std::uint8_t fy = p.FormatY;
    if (!isStoredSampleFormat(fy))
        throw FormatError(valueFile, "channel \"" + p.ParName + "\" has no readable value format (code " +
                                         std::to_string(fy) + ")");
    const std::int32_t length = bytes / fy;
    p.Length = length;
    const auto n = static_cast<std::size_t>(length);

    std::vector<TY> values(n);
    Mxmm[ch] = -singleMax;
    Mnmm[ch] = singleMax;
    for (std::size_t i = 0; i < n; ++i) {
        if (i % 200 == 0)
            reportProgress(progress, static_cast<std::int64_t>(i), length);
        const TY v = scaled<TY>(decodeSample(raw.values.data() + i * fy, fy), p.K1, p.K0);
        values[i] = v;
        if (v > Mxmm[ch])
            Mxmm[ch] = v;
        if (v < Mnmm[ch])
            Mnmm[ch] = v;
    }
    raw.values = {};

    // A channel without a stored argument format has no argument values, even
    // when a stray ".x" file lies beside it.
    std::vector<TX> arguments;
    const std::uint8_t fx = p.FormatX;
    if (raw.hasArguments && isStoredSampleFormat(fx)) {
        if (raw.arguments.size() / fx < n)
            throw FormatError(argumentFile, "holds " + std::to_string(raw.arguments.size() / fx) +
                                                " argument values, the channel has " + std::to_string(n));
        arguments.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            arguments[i] = unscaled<TX>(decodeSample(raw.arguments.data() + i * fx, fx));
    }
    y = std::move(values);
    x = std::move(arguments);
    return length;
}

std::int32_t TDataF::Get2ForeignSnglBuff(int Channum, std::vector<float> &pBuffY, std::vector<double> &pBuffX,
                                         const ProgressFn &progressbar)
{
    return readChannel(Channum, pBuffY, pBuffX, progressbar);
}

std::int32_t TDataF::Get2ForeignSnglBuff(int Channum, std::vector<float> &pBuffY, std::vector<float> &pBuffX,
                                         const ProgressFn &progressbar)
{
    return readChannel(Channum, pBuffY, pBuffX, progressbar);
}

std::int32_t TDataF::Get2ForeignDblBuff(int Channum, std::vector<double> &pBuffY, std::vector<double> &pBuffX,
                                        const ProgressFn &progressbar)
{
    return readChannel(Channum, pBuffY, pBuffX, progressbar);
}

std::int32_t TDataF::Get2Snglbuffer(int Channum, const ProgressFn &progressbar)
{
    if (Channum < 0 || Channum >= Nchan)
        throw ValueError("no channel " + std::to_string(Channum) + " in " + DaName.string());
    const auto ch = static_cast<std::size_t>(Channum);
    return readChannel(Channum, SnglBuffPntrY[ch], DblBuffPntrX[ch], progressbar);
}

std::int32_t TDataF::Get2Dblbuffer(int Channum, const ProgressFn &progressbar)
{
    if (Channum < 0 || Channum >= Nchan)
        throw ValueError("no channel " + std::to_string(Channum) + " in " + DaName.string());
    const auto ch = static_cast<std::size_t>(Channum);
    return readChannel(Channum, DblBuffPntrY[ch], DblBuffPntrX[ch], progressbar);
}

int TDataF::FreeSnglbuffer(int Channum)
{
    if (Channum >= 0 && static_cast<std::size_t>(Channum) < SnglBuffPntrY.size()) {
        const auto ch = static_cast<std::size_t>(Channum);
        SnglBuffPntrY[ch] = {};
        SnglBuffPntrX[ch] = {};
        DblBuffPntrX[ch] = {}; // where Get2Snglbuffer puts the argument values
    }
    return 0;
}

int TDataF::FreeDblbuffer(int Channum)
{
    if (Channum >= 0 && static_cast<std::size_t>(Channum) < DblBuffPntrY.size()) {
        const auto ch = static_cast<std::size_t>(Channum);
        DblBuffPntrY[ch] = {};
        DblBuffPntrX[ch] = {};
    }
    return 0;
}

} // namespace vibrolan
