// The simulator's ground-truth file: one line per stage, pair and accepted
// revolution, with each blade's true deflection.
#pragma once

#include "support/number_of.hpp"

#include <filesystem>
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
        t.time = test::numberOf(cells.at(3));
        t.speed = test::numberOf(cells.at(4));
        t.fault = cells.at(5) == "1";
        for (std::size_t i = 6; i < cells.size() && !cells[i].empty(); ++i)
            t.ampl.push_back(test::numberOf(cells[i]));
        rows.push_back(std::move(t));
    }
    return rows;
}

} // namespace vibrolan::test
