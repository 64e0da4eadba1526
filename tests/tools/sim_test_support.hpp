// Shared helpers of the simulator tests: run a scaled-down scenario into a
// temporary folder and read the truth file.
#pragma once

#include "sim/scenario.hpp"
#include "sim/simulator.hpp"
#include "support/temp_dir.hpp"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vibrolan::test {

struct TruthLine {
    int stage = 0, pair = 0; // 1-based as written
    long sample = 0;
    double time = 0, speed = 0;
    bool fault = false;
    std::vector<double> ampl; // only the stage's blades
};

inline std::vector<TruthLine> readTruth(const std::filesystem::path &file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line); // header
    std::vector<TruthLine> rows;
    while (std::getline(in, line)) {
        std::stringstream ss(line);
        std::string cell;
        std::vector<std::string> cells;
        while (std::getline(ss, cell, ','))
            cells.push_back(cell);
        TruthLine t;
        t.stage = std::stoi(cells.at(0));
        t.pair = std::stoi(cells.at(1));
        t.sample = std::stol(cells.at(2));
        t.time = std::stod(cells.at(3));
        t.speed = std::stod(cells.at(4));
        t.fault = cells.at(5) == "1";
        for (std::size_t i = 6; i < cells.size() && !cells[i].empty(); ++i)
            t.ampl.push_back(std::stod(cells[i]));
        rows.push_back(std::move(t));
    }
    return rows;
}

inline std::string fileBytes(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A preset shortened so that a test runs in well under a second.
inline sim::Scenario shortPreset(const std::string &name)
{
    const double seconds = name == "large" ? 0.6 : 3.0;
    sim::Scenario s = sim::preset(name);
    s.truthEvery = 1;
    return sim::scaledDuration(s, seconds / s.durationS);
}

} // namespace vibrolan::test
