// The simulator's ground-truth table (one line per blade passage group) as
// read by the end-to-end CLI tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vibrolan::test {

struct TruthRow {
    int stage, pair;
    long sample;
    double time, speed;
    bool fault;
    std::vector<double> ampl; // by blade number
};

inline std::vector<TruthRow> readTruth(const std::filesystem::path &file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    std::vector<TruthRow> rows;
    while (std::getline(in, line)) {
        std::stringstream ss(line);
        std::string f;
        std::vector<std::string> v;
        while (std::getline(ss, f, ','))
            v.push_back(f);
        TruthRow r{std::stoi(v[0]) - 1,
                   std::stoi(v[1]) - 1,
                   std::stol(v[2]),
                   std::stod(v[3]),
                   std::stod(v[4]),
                   v[5] == "1",
                   {}};
        for (std::size_t i = 6; i < v.size() && !v[i].empty(); ++i)
            r.ampl.push_back(std::stod(v[i]));
        rows.push_back(std::move(r));
    }
    return rows;
}

} // namespace vibrolan::test
