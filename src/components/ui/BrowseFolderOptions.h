#pragma once

#include <QtGlobal>
#include <initializer_list>

enum TBrowseFolderOption {
    bfComputer,
    bfPrinter,
    bfNotBelowDomain,
    bfFSAncestors,
    bfOnlyDirs,
    bfStatusText
};

// A set of the options bfComputer to bfOnlyDirs. bfStatusText lies outside the set's range:
// including it has no effect.
class TBrowseFolderOptions {
public:
    TBrowseFolderOptions() = default;
    TBrowseFolderOptions(std::initializer_list<TBrowseFolderOption> Options) {
        for (TBrowseFolderOption o : Options)
            Include(o);
    }

    bool Contains(TBrowseFolderOption Option) const {
        return InRange(Option) && (FBits & Bit(Option));
    }
    TBrowseFolderOptions& Include(TBrowseFolderOption Option) {
        if (InRange(Option))
            FBits |= Bit(Option);
        return *this;
    }
    TBrowseFolderOptions& Exclude(TBrowseFolderOption Option) {
        if (InRange(Option))
            FBits &= quint8(~Bit(Option));
        return *this;
    }
    bool IsEmpty() const { return FBits == 0; }
    bool operator==(const TBrowseFolderOptions& Other) const { return FBits == Other.FBits; }
    bool operator!=(const TBrowseFolderOptions& Other) const { return FBits != Other.FBits; }

private:
    static bool InRange(TBrowseFolderOption Option) {
        return Option >= bfComputer && Option <= bfOnlyDirs;
    }
    static quint8 Bit(TBrowseFolderOption Option) { return quint8(1u << Option); }

    quint8 FBits = 0;
};
