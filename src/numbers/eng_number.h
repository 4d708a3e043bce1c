#pragma once

#include <QString>

#include <optional>

namespace quorvel {

// The SI prefix letter of a multiplier that is exactly one of 1e-15, 1e-12, 1e-9, 1e-6, 1e-3,
// 1e3, 1e6, 1e9 ("f", "p", "n", "u", "m", "K", "M", "G"); the empty text for any other value,
// 1 included.
QString PrefixLetter(double multiplier);

// x in engineering form: the scaled and rounded number, one blank, the prefix letter, the unit
// ("1,5 KHz"). digits >= 0 is the number of decimals; digits = -n asks for n significant digits,
// never cutting the integer part. Scaling stops at "G" and at "f"; zero is written without a
// letter.
QString FormatEng(double x, int digits, const QString& unit);

// Checks a typed number. Returns the empty text when acceptable, otherwise the phrase that
// follows the field's name: "deve essere un numero", "deve essere intero", "deve essere maggiore
// o uguale a <min>", "deve essere minore o uguale a <max>" (first failing test wins; bounds
// inclusive).
QString ValidateNumber(const QString& value, bool mustBeInteger, double min, double max);

// ln(x) / 2.30258509299405; nullopt (the invalid-argument case) when x is not above zero.
std::optional<double> Log10(double x);

}  // namespace quorvel
