// Two-pass coding to a size. The first pass codes the pictures at one fixed
// quantiser and keeps what each costs; the second gives every picture the
// quantiser that makes the whole land on the budget (coarser where a picture
// costs more, by the square root of its cost), corrected by what the pictures
// already coded took.
//
// The first pass codes windows of kMeasureWindow pictures, a key picture
// first, and only one window in kMeasureEvery: a window passed over costs
// what its nearest coded neighbours cost, which holds within a scene and is what keeps the pass
// cheap. Each window is coded at the quantiser that the windows before it
// say the whole would take to land on the budget, so that the second pass
// seldom reckons far from where a picture was measured.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace media {

inline constexpr int kMeasureWindow = 12;
inline constexpr int kMeasureEvery = 3;  // windows: one coded, the others passed over
// The first pass's quantiser until it has measured, and what a key picture's
// quantiser is of the other pictures' in both passes.
inline constexpr double kMeasureQuantiser = 6.0;
inline constexpr double kKeyQuantiserShare = 0.7;

class PictureCosts {
public:
    PictureCosts() = default;
    PictureCosts(int rateNum, int rateDen) : rateNum_(rateNum), rateDen_(rateDen) {}

    // The first pass: the quantiser of the pictures (not key pictures) of the
    // window that number starts, for the video to take bitsPerPicture on
    // average (0: not known) by what has been measured so far.
    double StartWindow(std::int64_t number, double bitsPerPicture);
    // Picture by picture, in order: what it took, or that it was passed over.
    void Coded(std::int64_t number, std::int64_t bits, bool key);
    void Passed(std::int64_t number);

    std::int64_t Pictures() const { return pictures_; }
    double Seconds() const { return rateNum_ > 0 ? static_cast<double>(pictures_) * rateDen_ / rateNum_ : 0.0; }
    // What picture number costs: its bits would be Cost / quantiser^kBitsExponent
    // (the key share applied to a key picture's quantiser). Past the end,
    // what the last window's pictures cost.
    double Cost(std::int64_t number, bool key) const;

    // A text file: a header line, then a line per window.
    bool Save(const std::string& path, std::string& error) const;
    static std::optional<PictureCosts> Load(const std::string& path, std::string& error);

private:
    struct Window {
        double keyBits = 0;
        double otherBits = 0;
        int others = 0;
        bool coded = false;
        double quantiser = kMeasureQuantiser;
    };
    Window& At(std::int64_t number);
    const Window* Nearest(std::size_t index, int step) const;
    double WindowCost(const Window& w, bool key) const;

    int rateNum_ = 0;
    int rateDen_ = 1;
    std::int64_t pictures_ = 0;
    std::vector<Window> windows_;
    double codedCost_ = 0;  // of the pictures coded so far
    std::int64_t coded_ = 0;
};

// How a picture's bits fall as its quantiser grows: bits ~ q^-kBitsExponent,
// as MPEG-4 Part 2 measures between the quantisers a film is coded at.
inline constexpr double kBitsExponent = 0.8;

class SizeBudget {
public:
    // videoBits: what the video of the whole stream may take; a key picture
    // at least every gopSize pictures.
    SizeBudget(PictureCosts costs, double videoBits, int gopSize);

    // The quality (libavcodec's lambda) to code picture number with; numbers
    // come in order.
    int Quality(std::int64_t number, bool key);
    // What picture number took, in order.
    void Spent(std::int64_t number, std::int64_t bits);

    // The stream's quantiser chosen last; a picture's is this times its share.
    double Quantiser() const { return quantiser_; }

private:
    double Model(std::int64_t number, bool key, double quantiser) const;
    // What picture number's quantiser is of the stream's.
    double Share(std::int64_t number) const;

    PictureCosts costs_;
    double mean_ = 1;  // cost of a picture that is not a key picture
    double budget_;
    std::vector<double> rest_;  // rest_[n]: the cost at the measure's quantiser of pictures n and after
    struct Sent {
        double predicted;
        std::int64_t number;
    };
    std::vector<Sent> pending_;  // sent, not yet spent
    std::size_t pendingFirst_ = 0;
    double pendingBits_ = 0;
    double spent_ = 0;
    double actualRecent_ = 0;     // what recent pictures took
    double predictedRecent_ = 0;  // and what the model said they would
    double carry_ = 0;            // of the quantisers rounded so far
    double quantiser_ = kMeasureQuantiser;
};

} // namespace media
