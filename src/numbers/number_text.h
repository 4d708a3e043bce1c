#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace quorvel {

// The general number text of the program: x rounded to 15 significant digits, no trailing zeros
// after the decimal comma, no digit grouping, "-" for negatives. Exponent form ("1,5E-07",
// "1E+15") when the decimal exponent of the rounded value is below -4 or 15 and above. Zero
// (either sign) is "0". Texts are always Italian, whatever the system locale: the separator is a
// comma. Infinities and NaN give "1,#INF", "-1,#INF" and "-1,#IND", which do not parse back.
QString NumberText(double x);

// NumberText with every "," replaced by ".": the form written into script statements.
QString StatementNumber(double x);

// The double that StatementNumber(x) denotes (what a script reads back), computed without text
// for most values. Zero of either sign gives +0; a value whose 15-digit rounding exceeds the
// largest double gives an infinity of its sign; non-finite values are returned unchanged.
double RoundTo15Digits(double x);

// Parses a number typed by the user: optional blanks (spaces, tabs) around, an optional sign,
// digits with at most one decimal separator ("," or "."), an optional exponent. No digit
// grouping, no hex, no names of special values. A value too large for a double is refused; one
// too small becomes zero. The result is the double nearest to the decimal value.
std::optional<double> ParseNumber(QStringView text);

// Rounds x to `decimals` decimals, halves to the even neighbour, working on the 15-significant-
// digit decimal form of x (so Round(2.675, 2) is 2.68 although the double 2.675 lies slightly
// below the half). Non-finite values are returned unchanged; a zero result is +0.
double Round(double x, int decimals);

}  // namespace quorvel
