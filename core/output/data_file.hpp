// TDataF: the one object through which the program reads and writes data
// files of both exchange formats, the ZAMI data set and the PRAX file. It
// opens or creates a file, appends and deletes channels and reads a channel's
// samples back, scaled by value = raw * K1 + K0.
#pragma once

#include "base/progress.hpp"
#include "output/data_file_env.hpp"
#include "output/data_file_types.hpp"
#include "output/prax_file.hpp"
#include "output/zami_file.hpp"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vibrolan {

class TDataF {
public:
    explicit TDataF(DataFileEnv env = {});
    ~TDataF();
    TDataF(const TDataF &) = delete;
    TDataF &operator=(const TDataF &) = delete;

    // Opens an existing file: a name containing ".prx" or ".PRX" is a PRAX
    // file, anything else a ZAMI key file. Mode is the PRAX open mode (see
    // TPRAXFile::Create). Throws FileError / FormatError; the object is then
    // left as it was.
    void Create(const std::filesystem::path &FileName, std::uint16_t Mode);
    // Creates a new file or data set; an existing file (not a folder) of that
    // name is opened with Create instead.
    void CreateNew(const std::filesystem::path &FileName, const std::string &PrName,
                   const std::string &TstName, TFormType FType, std::uint16_t Mode, std::int32_t Nch,
                   float Tm, const std::string &Info);

    // Appends a channel of N samples. frstrY / frstrX are format names; for
    // frstrX a name that is no format names another channel whose argument
    // file this channel shares (ZAMI). Pntr / PntrX hold the stored samples.
    // The object changes only when the channel was written.
    void AddBuffer(std::int32_t N, const std::string &frstrY, const std::string &frstrX,
                   std::span<const std::byte> Pntr, std::span<const std::byte> PntrX,
                   const std::string &Parnm, const std::string &CharNm, const std::string &YUnts,
                   const std::string &XUnts, float Frqw, std::uint32_t ChTP, float K00, float K01,
                   const T3D *treeD);
    void AddBuffer(std::int32_t N, const std::string &frstrY, const std::string &frstrX,
                   std::span<const std::byte> Pntr, std::span<const std::byte> PntrX,
                   const std::string &Parnm, const std::string &CharNm, const std::string &YUnts,
                   const std::string &XUnts, const std::string &UTSprm, float Frqw, std::uint32_t ChTP,
                   float K00, float K01, const T3D *treeD);

    // ZAMI: appends one sample to the last channel named Parnm; its index, or -1.
    int AddPoint(const std::string &Parnm, double y, double x);
    void DeletePar(int NPar);
    // ZAMI: sets "Info" in the in-memory key file (written by the next update).
    void WriteInfo(const std::string &info);

    // Read channel Channum into new arrays; X is left empty when the channel
    // has no argument values. Return the number of samples.
    std::int32_t Get2ForeignSnglBuff(int Channum, std::vector<float> &pBuffY, std::vector<double> &pBuffX,
                                     const ProgressFn &progressbar = {});
    std::int32_t Get2ForeignSnglBuff(int Channum, std::vector<float> &pBuffY, std::vector<float> &pBuffX,
                                     const ProgressFn &progressbar = {});
    std::int32_t Get2ForeignDblBuff(int Channum, std::vector<double> &pBuffY, std::vector<double> &pBuffX,
                                    const ProgressFn &progressbar = {});
    // The same into the object's own arrays (SnglBuffPntrY / DblBuffPntrX,
    // respectively DblBuffPntrY / DblBuffPntrX).
    std::int32_t Get2Snglbuffer(int Channum, const ProgressFn &progressbar = {});
    std::int32_t Get2Dblbuffer(int Channum, const ProgressFn &progressbar = {});
    int FreeSnglbuffer(int Channum);
    int FreeDblbuffer(int Channum);

    // Releases the arrays and closes the file.
    void Destroy();

    TFormType FormType = ftZami;
    std::string PRAXRec; // "PRAX" or "ZAMI"
    std::string ProdName;
    std::string TestName;
    std::string Date;
    std::filesystem::path DaName;
    std::int32_t Nchan = 0;
    std::vector<std::int32_t> Targets;
    std::vector<std::int32_t> ViewSer;
    std::vector<std::int32_t> ProcessNum;
    std::vector<std::vector<double>> DblBuffPntrY;
    std::vector<std::vector<double>> DblBuffPntrX;
    std::vector<std::vector<float>> SnglBuffPntrY;
    std::vector<std::vector<float>> SnglBuffPntrX;
    std::vector<double> Mxmm;
    std::vector<double> Mnmm;
    std::vector<double> xfact;
    std::vector<TPassp> Passp;
    std::unique_ptr<TPRAXFile> PrFile;
    std::unique_ptr<TZAMIFile> ZaFile;

private:
    template <class TY, class TX>
    std::int32_t readChannel(int Channum, std::vector<TY> &y, std::vector<TX> &x, const ProgressFn &progress);
    void resizeChannelArrays(std::size_t n, std::int32_t fill);

    DataFileEnv env_;
};

} // namespace vibrolan
