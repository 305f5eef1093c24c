#include "platform/media/elements/rate_plan.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

namespace media {
namespace {

constexpr int kLowestQuantiser = 1;
constexpr int kHighestQuantiser = 31;
// libavcodec's lambda for quantiser 1 (FF_QP2LAMBDA).
constexpr int kLambdaPerQuantiser = 118;
// A picture that costs more than the mean gets a coarser quantiser than the
// rest, by this power of its cost against the mean: bits buy less on grain
// and motion than on a calm picture (libavcodec's own rate control weighs
// by the same square root, its qcompress).
constexpr double kQuantiserFollowsCost = 0.5;
// The correction of the measure looks back over about this many pictures.
constexpr double kRecentPictures = 600;

constexpr const char* kHeader = "vobcast picture costs 1";

// The quantiser at which cost (summed over pictures) comes to bits a picture.
double QuantiserFor(double cost, double pictures, double bits) {
    const double q = bits > 0 && pictures > 0 ? std::pow(cost / pictures / bits, 1 / kBitsExponent) : kMeasureQuantiser;
    return std::clamp(q, static_cast<double>(kLowestQuantiser), static_cast<double>(kHighestQuantiser));
}

} // namespace

PictureCosts::Window& PictureCosts::At(std::int64_t number) {
    const auto index = static_cast<std::size_t>(number / kMeasureWindow);
    if (windows_.size() <= index) windows_.resize(index + 1);
    pictures_ = std::max(pictures_, number + 1);
    return windows_[index];
}

double PictureCosts::StartWindow(std::int64_t number, double bitsPerPicture) {
    Window& w = At(number);
    if (coded_ > 0 && bitsPerPicture > 0) w.quantiser = QuantiserFor(codedCost_, static_cast<double>(coded_), bitsPerPicture);
    return w.quantiser;
}

void PictureCosts::Coded(std::int64_t number, std::int64_t bits, bool key) {
    Window& w = At(number);
    w.coded = true;
    codedCost_ += static_cast<double>(bits) * std::pow(w.quantiser, kBitsExponent);
    ++coded_;
    if (key) {
        w.keyBits = static_cast<double>(bits);
    } else {
        w.otherBits += static_cast<double>(bits);
        ++w.others;
    }
}

void PictureCosts::Passed(std::int64_t number) { At(number); }

double PictureCosts::WindowCost(const Window& w, bool key) const {
    const double bits = key || w.others == 0 ? w.keyBits : w.otherBits / w.others;
    return std::max(1.0, bits) * std::pow(w.quantiser, kBitsExponent);
}

const PictureCosts::Window* PictureCosts::Nearest(std::size_t index, int step) const {
    for (auto i = static_cast<std::ptrdiff_t>(index); i >= 0 && i < static_cast<std::ptrdiff_t>(windows_.size()); i += step)
        if (windows_[static_cast<std::size_t>(i)].coded) return &windows_[static_cast<std::size_t>(i)];
    return nullptr;
}

double PictureCosts::Cost(std::int64_t number, bool key) const {
    if (windows_.empty()) return 1.0;  // nothing measured: all alike
    const auto index = std::min(static_cast<std::size_t>(std::max<std::int64_t>(0, number) / kMeasureWindow),
                                windows_.size() - 1);
    const Window* before = Nearest(index, -1);
    const Window* after = Nearest(index, 1);
    if (before == after) return before ? WindowCost(*before, key) : 1.0;
    if (!before || !after) return WindowCost(before ? *before : *after, key);
    return (WindowCost(*before, key) + WindowCost(*after, key)) / 2;
}

bool PictureCosts::Save(const std::string& path, std::string& error) const {
    std::ofstream out(path, std::ios::trunc);
    out << kHeader << "\nrate " << rateNum_ << " " << rateDen_ << " pictures " << pictures_ << " window "
        << kMeasureWindow << "\n";
    for (const Window& w : windows_)
        out << (w.coded ? 1 : 0) << " " << static_cast<std::int64_t>(w.keyBits) << " "
            << static_cast<std::int64_t>(w.otherBits) << " " << w.others << " " << w.quantiser << "\n";
    out.close();
    if (!out) error = path + ": " + std::strerror(errno);
    return static_cast<bool>(out);
}

std::optional<PictureCosts> PictureCosts::Load(const std::string& path, std::string& error) {
    std::ifstream in(path);
    std::string header;
    if (!in || !std::getline(in, header)) {
        error = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::string line;
    std::getline(in, line);
    std::istringstream fields(line);
    std::string rate, pictures, window;
    PictureCosts costs;
    int width = 0;
    fields >> rate >> costs.rateNum_ >> costs.rateDen_ >> pictures >> costs.pictures_ >> window >> width;
    if (header != kHeader || !fields || rate != "rate" || width != kMeasureWindow || costs.rateNum_ <= 0 ||
        costs.rateDen_ <= 0 || costs.pictures_ <= 0) {
        error = path + ": not a first pass's measure";
        return std::nullopt;
    }
    int coded = 0;
    std::int64_t key = 0, other = 0;
    int others = 0;
    double quantiser = 0;
    while (in >> coded >> key >> other >> others >> quantiser)
        costs.windows_.push_back({static_cast<double>(key), static_cast<double>(other), others, coded != 0, quantiser});
    if (static_cast<std::int64_t>(costs.windows_.size()) != (costs.pictures_ + kMeasureWindow - 1) / kMeasureWindow) {
        error = path + ": the first pass's measure is cut short";
        return std::nullopt;
    }
    return costs;
}

SizeBudget::SizeBudget(PictureCosts costs, double videoBits, int gopSize)
    : costs_(std::move(costs)), budget_(videoBits) {
    const auto n = static_cast<std::size_t>(costs_.Pictures());
    rest_.assign(n + 1, 0.0);
    const auto gop = static_cast<std::size_t>(std::max(1, gopSize));
    double mean = 0;
    for (std::size_t i = 0; i < n; ++i) mean += costs_.Cost(static_cast<std::int64_t>(i), false);
    mean_ = std::max(1.0, mean / static_cast<double>(std::max<std::size_t>(1, n)));
    for (std::size_t i = n; i-- > 0;)
        rest_[i] = rest_[i + 1] + costs_.Cost(static_cast<std::int64_t>(i), i % gop == 0) /
                                      std::pow(Share(static_cast<std::int64_t>(i)), kBitsExponent);
}

double SizeBudget::Share(std::int64_t number) const {
    return std::pow(costs_.Cost(number, false) / mean_, kQuantiserFollowsCost);
}

double SizeBudget::Model(std::int64_t number, bool key, double quantiser) const {
    return costs_.Cost(number, key) / std::pow(quantiser, kBitsExponent);
}

int SizeBudget::Quality(std::int64_t number, bool key) {
    // What the measure is off by lately, eased in from no correction.
    const double prior = rest_.front() / std::max<double>(1.0, static_cast<double>(rest_.size())) * 24 /
                         std::pow(quantiser_, kBitsExponent);
    const double k = (actualRecent_ + prior) / (predictedRecent_ + prior);
    const double remaining = budget_ - spent_ - k * pendingBits_;
    const auto last = static_cast<std::int64_t>(rest_.size()) - 1;
    const double rest = number < last ? rest_[static_cast<std::size_t>(number)] : costs_.Cost(number, key);
    const double q = remaining > 0 ? QuantiserFor(k * rest, 1, remaining) : kHighestQuantiser;
    quantiser_ = q;
    // Whole quantisers, their errors carried on so that they average to q.
    const double wanted = (key ? q * kKeyQuantiserShare : q) * Share(number) + carry_;
    const int used = std::clamp(static_cast<int>(std::lround(wanted)), 1, kHighestQuantiser);
    carry_ = std::clamp(wanted - used, -1.0, 1.0);
    const double predicted = Model(number, key, key ? used / kKeyQuantiserShare : used);
    pending_.push_back({predicted, number});
    pendingBits_ += predicted;
    return used * kLambdaPerQuantiser;
}

void SizeBudget::Spent(std::int64_t number, std::int64_t bits) {
    double predicted = 0;
    while (pendingFirst_ < pending_.size() && pending_[pendingFirst_].number <= number) {
        if (pending_[pendingFirst_].number == number) predicted = pending_[pendingFirst_].predicted;
        pendingBits_ -= pending_[pendingFirst_].predicted;
        ++pendingFirst_;
    }
    if (pendingFirst_ > 4096) {
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingFirst_));
        pendingFirst_ = 0;
    }
    spent_ += static_cast<double>(bits);
    constexpr double kKeep = 1 - 1 / kRecentPictures;
    actualRecent_ = actualRecent_ * kKeep + static_cast<double>(bits);
    predictedRecent_ = predictedRecent_ * kKeep + predicted;
}

} // namespace media
