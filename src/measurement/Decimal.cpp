#include "measurement/Decimal.h"

#include <algorithm>
#include <charconv>

namespace {

// Digits least significant first.
int CompareMagnitudes(const std::string& A, const std::string& B) {
    if (A.size() != B.size())
        return A.size() < B.size() ? -1 : 1;
    for (size_t i = A.size(); i-- > 0;)
        if (A[i] != B[i])
            return A[i] < B[i] ? -1 : 1;
    return 0;
}

void AddMagnitude(std::string& Sum, const std::string& Other) {
    if (Sum.size() < Other.size())
        Sum.resize(Other.size(), 0);
    int Carry = 0;
    for (size_t i = 0; i < Sum.size(); ++i) {
        const int Digit = Sum[i] + (i < Other.size() ? Other[i] : 0) + Carry;
        Sum[i] = static_cast<char>(Digit % 10);
        Carry = Digit / 10;
        if (Carry == 0 && i >= Other.size())
            return;
    }
    if (Carry != 0)
        Sum.push_back(static_cast<char>(Carry));
}

// Larger -= Smaller, where Larger >= Smaller.
void SubtractMagnitude(std::string& Larger, const std::string& Smaller) {
    int Borrow = 0;
    for (size_t i = 0; i < Larger.size(); ++i) {
        int Digit = Larger[i] - (i < Smaller.size() ? Smaller[i] : 0) - Borrow;
        Borrow = Digit < 0 ? 1 : 0;
        Larger[i] = static_cast<char>(Digit + 10 * Borrow);
        if (Borrow == 0 && i >= Smaller.size())
            break;
    }
}

} // namespace

std::optional<TDecimal> TDecimal::Parse(std::string_view Text) {
    size_t i = 0;
    TDecimal Result;
    if (i < Text.size() && (Text[i] == '+' || Text[i] == '-'))
        Result.FNegative = Text[i++] == '-';
    const auto IsDigit = [](char Char) { return Char >= '0' && Char <= '9'; };
    const size_t IntegerBegin = i;
    while (i < Text.size() && IsDigit(Text[i]))
        ++i;
    if (i == IntegerBegin)
        return std::nullopt;
    const size_t IntegerEnd = i;
    size_t FractionBegin = i;
    if (i < Text.size() && Text[i] == '.') {
        FractionBegin = ++i;
        while (i < Text.size() && IsDigit(Text[i]))
            ++i;
        if (i == FractionBegin)
            return std::nullopt;
    }
    if (i != Text.size())
        return std::nullopt;
    Result.FScale = static_cast<int>(i - FractionBegin);
    Result.FDigits.reserve(Text.size());
    for (size_t j = Text.size(); j-- > FractionBegin;)
        Result.FDigits.push_back(static_cast<char>(Text[j] - '0'));
    for (size_t j = IntegerEnd; j-- > IntegerBegin;)
        Result.FDigits.push_back(static_cast<char>(Text[j] - '0'));
    Result.Normalize();
    return Result;
}

void TDecimal::Normalize() {
    while (!FDigits.empty() && FDigits.back() == 0)
        FDigits.pop_back();
    if (FDigits.empty())
        FNegative = false;
}

TDecimal TDecimal::WithScale(int Scale) const {
    TDecimal Result = *this;
    if (Scale > FScale && !FDigits.empty())
        Result.FDigits.insert(0, static_cast<size_t>(Scale - FScale), 0);
    Result.FScale = Scale;
    return Result;
}

TDecimal& TDecimal::operator+=(const TDecimal& Other) {
    if (Other.FScale > FScale)
        *this = WithScale(Other.FScale);
    const TDecimal Aligned = Other.FScale < FScale ? Other.WithScale(FScale) : Other;
    if (FNegative == Aligned.FNegative) {
        AddMagnitude(FDigits, Aligned.FDigits);
    } else if (CompareMagnitudes(FDigits, Aligned.FDigits) >= 0) {
        SubtractMagnitude(FDigits, Aligned.FDigits);
    } else {
        std::string Larger = Aligned.FDigits;
        SubtractMagnitude(Larger, FDigits);
        FDigits = std::move(Larger);
        FNegative = Aligned.FNegative;
    }
    Normalize();
    return *this;
}

TDecimal TDecimal::operator+(const TDecimal& Other) const {
    TDecimal Result = *this;
    return Result += Other;
}

TDecimal TDecimal::operator-(const TDecimal& Other) const {
    return *this + -Other;
}

TDecimal TDecimal::operator-() const {
    TDecimal Result = *this;
    Result.FNegative = !FNegative;
    Result.Normalize();
    return Result;
}

TDecimal TDecimal::Abs() const {
    TDecimal Result = *this;
    Result.FNegative = false;
    return Result;
}

TDecimal TDecimal::Times(std::uint32_t Factor) const {
    TDecimal Result = *this;
    std::uint64_t Carry = 0;
    for (char& Digit : Result.FDigits) {
        const std::uint64_t Product = static_cast<std::uint64_t>(Digit) * Factor + Carry;
        Digit = static_cast<char>(Product % 10);
        Carry = Product / 10;
    }
    for (; Carry != 0; Carry /= 10)
        Result.FDigits.push_back(static_cast<char>(Carry % 10));
    Result.Normalize();
    return Result;
}

TDecimal TDecimal::Quotient(std::uint32_t Divisor, int Decimals) const {
    // With M widened to at least Decimals places, the digits below them (F, the lowest
    // Dropped ones) are cut off and the rest (P) divided: q = P / Divisor, remainder r. The
    // exact fraction left is (r + F / 10^Dropped) / Divisor, at least a half when
    // 2r >= Divisor, or, when 2r + 1 == Divisor, when F is at least half of 10^Dropped:
    // F's first digit decides.
    const TDecimal Widened = WithScale(std::max(Decimals, FScale));
    const size_t Dropped = static_cast<size_t>(Widened.FScale - Decimals);
    const std::string& M = Widened.FDigits;

    TDecimal Result;
    Result.FNegative = FNegative;
    Result.FScale = Decimals;
    std::uint64_t Remainder = 0;
    if (M.size() > Dropped) {
        Result.FDigits.resize(M.size() - Dropped);
        for (size_t i = M.size(); i-- > Dropped;) {
            const std::uint64_t Part = Remainder * 10 + static_cast<std::uint64_t>(M[i]);
            Result.FDigits[i - Dropped] = static_cast<char>(Part / Divisor);
            Remainder = Part % Divisor;
        }
    }
    bool Up = 2 * Remainder >= Divisor;
    if (!Up && 2 * Remainder + 1 == Divisor && Dropped > 0 && M.size() >= Dropped)
        Up = M[Dropped - 1] >= 5;
    if (Up)
        AddMagnitude(Result.FDigits, std::string(1, 1));
    Result.Normalize();
    return Result;
}

int TDecimal::Compare(const TDecimal& A, const TDecimal& B) {
    const TDecimal Difference = A - B;
    if (Difference.FDigits.empty())
        return 0;
    return Difference.FNegative ? -1 : 1;
}

std::string TDecimal::Text() const {
    std::string Out;
    if (FNegative)
        Out += '-';
    const size_t Scale = static_cast<size_t>(FScale);
    const size_t Width = std::max(FDigits.size(), Scale + 1);
    for (size_t i = Width; i-- > 0;) {
        Out += static_cast<char>('0' + (i < FDigits.size() ? FDigits[i] : 0));
        if (i == Scale && i > 0)
            Out += '.';
    }
    return Out;
}

std::optional<std::int64_t> TDecimal::Scaled(int Decimals) const {
    if (Decimals < FScale)
        for (int i = 0; i < FScale - Decimals; ++i)
            if (static_cast<size_t>(i) < FDigits.size() && FDigits[static_cast<size_t>(i)] != 0)
                return std::nullopt;
    const long Shift = Decimals - FScale;
    // Digit i stands for 10^(i + Shift) of the result.
    if (static_cast<long>(FDigits.size()) + Shift > 18)
        return std::nullopt;
    std::int64_t Value = 0;
    for (size_t i = FDigits.size(); i-- > 0;)
        if (static_cast<long>(i) + Shift >= 0)
            Value = Value * 10 + FDigits[i];
    for (long i = 0; i < Shift; ++i)
        Value *= 10;
    return FNegative ? -Value : Value;
}

TDecimal TDecimal::FromScaled(std::int64_t Value, int Decimals) {
    TDecimal Result;
    Result.FNegative = Value < 0;
    // Through the unsigned magnitude: the most negative value has no positive twin.
    std::uint64_t Magnitude =
        Value < 0 ? 0 - static_cast<std::uint64_t>(Value) : static_cast<std::uint64_t>(Value);
    for (; Magnitude != 0; Magnitude /= 10)
        Result.FDigits.push_back(static_cast<char>(Magnitude % 10));
    Result.FScale = Decimals;
    Result.Normalize();
    return Result;
}

double TDecimal::ToDouble() const {
    const std::string Digits = Text();
    double Value = 0;
    std::from_chars(Digits.data(), Digits.data() + Digits.size(), Value);
    return Value;
}
