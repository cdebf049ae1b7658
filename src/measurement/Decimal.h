#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// An exact decimal number. The readings are decimal texts; sums, means and the figures shown
// to people are computed on their digits, so a mean of 3.95 rounds to 4.0, which a binary
// double (3.9499...) would not.
class TDecimal {
public:
    TDecimal() = default; // zero

    // The whole text must be a decimal number: an optional sign, digits, and optionally a
    // point followed by digits ("-0.5", "+12", "3.40"; not ".5", "5.", "1e3").
    static std::optional<TDecimal> Parse(std::string_view Text);

    TDecimal& operator+=(const TDecimal& Other);
    TDecimal operator+(const TDecimal& Other) const;
    TDecimal operator-(const TDecimal& Other) const;
    TDecimal operator-() const;
    TDecimal Times(std::uint32_t Factor) const;
    TDecimal Abs() const;

    // This divided by Divisor (not 0), rounded half away from zero to Decimals places.
    TDecimal Quotient(std::uint32_t Divisor, int Decimals) const;
    TDecimal Rounded(int Decimals) const { return Quotient(1, Decimals); }

    // The decimals it was written with, "3.40" having two.
    int Decimals() const { return FScale; }
    // This times 10^Decimals as a whole number, when that is exact and below 10^18 in size.
    std::optional<std::int64_t> Scaled(int Decimals) const;
    // Value / 10^Decimals, written with Decimals decimals.
    static TDecimal FromScaled(std::int64_t Value, int Decimals);

    // -1, 0 or 1.
    static int Compare(const TDecimal& A, const TDecimal& B);
    bool operator==(const TDecimal& Other) const { return Compare(*this, Other) == 0; }
    bool operator!=(const TDecimal& Other) const { return Compare(*this, Other) != 0; }
    bool operator<(const TDecimal& Other) const { return Compare(*this, Other) < 0; }
    bool operator<=(const TDecimal& Other) const { return Compare(*this, Other) <= 0; }
    bool operator>(const TDecimal& Other) const { return Compare(*this, Other) > 0; }
    bool operator>=(const TDecimal& Other) const { return Compare(*this, Other) >= 0; }

    // All its decimals, a leading "-" when negative, no "+": "4.0", "0.05", "-12".
    // Also a valid JSON number.
    std::string Text() const;
    // The nearest double.
    double ToDouble() const;

private:
    void Normalize();
    TDecimal WithScale(int Scale) const;

    bool FNegative = false;
    // The magnitude's digits (values 0..9), least significant first, no zeros at the top.
    std::string FDigits;
    // Decimals: the value is FDigits / 10^FScale.
    int FScale = 0;
};
