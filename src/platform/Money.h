#pragma once

#include <QtGlobal>

#include <array>

// Money: an amount is a whole number of ten-thousandths of the currency unit,
// from the database client's reads to the tables, the export file and the
// journal.
constexpr int kMoneyDecimals = 4;
constexpr qint64 kMoneyScale = 10000;

// The ten-thousandths in one step of a number with 0 to kMoneyDecimals
// decimals: 10000 for a whole unit, 100 for a hundredth, 1 for a
// ten-thousandth.
constexpr std::array<qint64, kMoneyDecimals + 1> kMoneyPerStep = [] {
    std::array<qint64, kMoneyDecimals + 1> steps{};
    qint64 step = kMoneyScale;
    for (qint64 &s : steps) {
        s = step;
        step /= 10;
    }
    return steps;
}();
static_assert(kMoneyPerStep[kMoneyDecimals] == 1, "kMoneyScale is 10 to the power kMoneyDecimals");
