// The identification's tables in the run file, read back member by member
// through the HDF5 library: numbering, the stage each row goes to, values
// that were not determined, and names that must not clash with a pair's.
#include "export/run_hdf5.hpp"
#include "export_test_support.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>
#include <hdf5.h>

#include <cmath>

namespace vibrolan {
namespace {

// One member of every record of a compound dataset, converted by the library.
template <class T> std::vector<T> column(hid_t file, const std::string &path, const char *member, hid_t type)
{
    const hid_t d = H5Dopen2(file, path.c_str(), H5P_DEFAULT);
    EXPECT_GE(d, 0) << path;
    const hid_t space = H5Dget_space(d);
    std::vector<T> v(static_cast<std::size_t>(H5Sget_simple_extent_npoints(space)));
    const hid_t mem = H5Tcreate(H5T_COMPOUND, sizeof(T));
    H5Tinsert(mem, member, 0, type);
    if (!v.empty()) {
        EXPECT_GE(H5Dread(d, mem, H5S_ALL, H5S_ALL, H5P_DEFAULT, v.data()), 0) << path << " " << member;
    }
    H5Tclose(mem);
    H5Sclose(space);
    H5Dclose(d);
    return v;
}

std::vector<std::int64_t> ints(hid_t f, const std::string &path, const char *member)
{
    return column<std::int64_t>(f, path, member, H5T_NATIVE_INT64);
}
std::vector<double> reals(hid_t f, const std::string &path, const char *member)
{
    return column<double>(f, path, member, H5T_NATIVE_DOUBLE);
}

// A FALSE/TRUE member as 0/1, through an enum of the file's own names.
std::vector<std::int64_t> flags(hid_t f, const std::string &path, const char *member)
{
    const hid_t e = H5Tenum_create(H5T_NATIVE_INT8);
    const std::int8_t no = 0, yes = 1;
    H5Tenum_insert(e, "FALSE", &no);
    H5Tenum_insert(e, "TRUE", &yes);
    const auto v = column<std::int8_t>(f, path, member, e);
    H5Tclose(e);
    return {v.begin(), v.end()};
}

TCfgDfm twoStages()
{
    TCfgDfm cfg = test::ResultFixture(40, 3);
    cfg.CountStage = 2;
    cfg.Stages[1] = cfg.Stages[0];
    cfg.Stages[1].NameStage = "Ст2";
    // A pair that carries a table's name keeps its data apart from the table.
    cfg.Stages[1].Pairs[0].NamePair = "resonances";
    return cfg;
}

identify::RunIdentification identification()
{
    identify::RunIdentification id;
    id.resonances.emplace();
    auto &r = *id.resonances;
    // Events of two stages: the second stage's event is its own first.
    r.events.push_back({0, {1, 2, 5000, 5100}, 5050, 3});
    r.events.push_back({0, {3, 4, 5500, 5600}, 5550, 2});
    r.events.push_back({1, {1, 2, 6000, 6100}, 6050, 1});
    identify::BladeResonance b;
    b.stage = 1;
    b.blade = 2;
    b.event = 2;
    b.engineOrder = 7;
    b.frequencyHz = 707.5;
    b.eoGiven = true;
    r.resonances.push_back(b);
    r.notIdentifiable.push_back({0, -1, 1, 5500, 5600, "мало пар"});
    r.notIdentifiable.push_back({1, 0, -1, 0, 0, "нет событий"});
    id.asynchronous.emplace();
    identify::AsyncSegment s;
    s.stage = 1;
    s.frequencyHz = 180;
    s.frequencyKnown = false;
    s.nodalDiameter = 3;
    s.nodalDiameterKnown = false;
    s.ambiguous = true;
    s.rotorFrequencyHz = 80;
    s.bladeMean = {0.1, 0.2, 0.3};
    s.bladeMax = {0.2, 0.4, 0.6};
    s.track.push_back({5, 6000, 180, 80, 3, 0.2, 4});
    s.track.push_back({6, 6000, 181, 81, 3, 0.2, 5});
    s.remark = "неоднозначно";
    id.asynchronous->segments.push_back(s);
    id.notes.push_back("a note");
    return id;
}

TEST(SaveRunHdf5, IdentificationTablesGoToTheirStagesNumberedAsShown)
{
    test::TempDir tmp;
    const TCfgDfm cfg = twoStages();
    const identify::RunIdentification id = identification();
    TRunHdf5Info info;
    info.ProgramVersion = "test";
    info.Identification = &id;
    SaveRunHdf5(cfg, info, tmp / "run.h5");

    const hid_t f = H5Fopen((tmp / "run.h5").c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    ASSERT_GE(f, 0);
    // The pair named like a table got a name of its own.
    EXPECT_GT(H5Lexists(f, "/Ст2/resonances (2)/deflection", H5P_DEFAULT), 0);

    EXPECT_TRUE(ints(f, "/Ст1/resonances", "blade").empty());
    EXPECT_EQ(ints(f, "/Ст2/resonances", "blade"), (std::vector<std::int64_t>{3}));
    EXPECT_EQ(ints(f, "/Ст2/resonances", "stage"), (std::vector<std::int64_t>{2}));
    EXPECT_EQ(ints(f, "/Ст2/resonances", "event"), (std::vector<std::int64_t>{1}));
    EXPECT_EQ(ints(f, "/Ст2/resonances", "engine_order"), (std::vector<std::int64_t>{7}));
    EXPECT_EQ(reals(f, "/Ст2/resonances", "frequency_hz"), (std::vector<double>{707.5}));
    EXPECT_EQ(flags(f, "/Ст2/resonances", "eo_given"), (std::vector<std::int64_t>{1}));
    EXPECT_EQ(ints(f, "/Ст1/resonance_events", "event"), (std::vector<std::int64_t>{1, 2}));
    EXPECT_EQ(reals(f, "/Ст1/resonance_events", "rpm_from"), (std::vector<double>{5000, 5500}));
    EXPECT_EQ(ints(f, "/Ст2/resonance_events", "event"), (std::vector<std::int64_t>{1}));
    // A whole event and no event at all are 0.
    EXPECT_EQ(ints(f, "/Ст1/resonances_not_identified", "blade"), (std::vector<std::int64_t>{0}));
    EXPECT_EQ(ints(f, "/Ст1/resonances_not_identified", "event"), (std::vector<std::int64_t>{2}));
    EXPECT_EQ(ints(f, "/Ст2/resonances_not_identified", "blade"), (std::vector<std::int64_t>{1}));
    EXPECT_EQ(ints(f, "/Ст2/resonances_not_identified", "event"), (std::vector<std::int64_t>{0}));

    // An ambiguous segment: nothing undetermined is given as a number.
    EXPECT_TRUE(ints(f, "/Ст1/asynchronous", "segment").empty());
    EXPECT_EQ(ints(f, "/Ст2/asynchronous", "segment"), (std::vector<std::int64_t>{1}));
    EXPECT_TRUE(std::isnan(reals(f, "/Ст2/asynchronous", "frequency_hz").at(0)));
    EXPECT_TRUE(std::isnan(reals(f, "/Ст2/asynchronous", "rotor_frequency_hz").at(0)));
    EXPECT_EQ(ints(f, "/Ст2/asynchronous", "nodal_diameter"), (std::vector<std::int64_t>{0}));
    EXPECT_EQ(flags(f, "/Ст2/asynchronous", "ambiguous"), (std::vector<std::int64_t>{1}));
    EXPECT_EQ(ints(f, "/Ст2/asynchronous_track", "segment"), (std::vector<std::int64_t>{1, 1}));
    EXPECT_EQ(reals(f, "/Ст2/asynchronous_track", "significance"), (std::vector<double>{4, 5}));
    EXPECT_EQ(ints(f, "/Ст2/asynchronous_blades", "blade"), (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_EQ(reals(f, "/Ст2/asynchronous_blades", "amplitude_max"), (std::vector<double>{0.2, 0.4, 0.6}));
    H5Fclose(f);
}

} // namespace
} // namespace vibrolan
