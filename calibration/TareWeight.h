#pragma once
// The tare-weight dialog without its window: the current weight of a channel as
// the dialog shows it, and the command that takes it as the tare weight.
#include <string>

class DescBranch;

namespace calibration {

class CalibrationLink;

inline constexpr int kWeightRefreshMs = 200;

// "Rd.fF" of the channel from the tree, read: "%.3f" of a float value, the no-data
// text when the read failed, empty for another type or when it is not in the tree.
std::string ReadWeightText(CalibrationLink& link, DescBranch* tree, int channel);

// Writes "U.Wgh" (with the channel as its index on the four-channel variant) and,
// on success, reads the channel's "p.wgh" again. Empty when written, else the
// link's error text.
std::string StoreTareWeight(CalibrationLink& link, DescBranch* tree, int channel, bool fourChannels);

}  // namespace calibration
