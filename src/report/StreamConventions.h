#pragma once

#include <QLatin1String>

// The lines of the instrument's printout that the program gives a meaning to. The builder,
// the rebuild and the export all rely on these; change them here only.
namespace StreamConventions {

// Bytes of the received stream.
constexpr char LineEnd = 13;
// A download drains the port's queue in pieces of at most this many bytes, each ending after
// a line end; a zero byte ends its piece (the rest of the piece is dropped).
constexpr int PieceBytes = 199;
constexpr char Tilde = 126;
constexpr char TildeShownAs = '=';
constexpr unsigned char Discarded[] = {15, 19, 29, 31, 255};

// Bare captions the instrument sends without a value (whole-line match).
constexpr QLatin1String CaptionSerial("Serial #");
constexpr QLatin1String CaptionStartDate("Start Date");
constexpr QLatin1String CaptionStartTime("Start Time");
constexpr QLatin1String CaptionLocation("Location:");

// Label forms: the colon in the twelfth column, the value right after ": ".
constexpr QLatin1String LabelSerial("Serial #   : ");
constexpr QLatin1String LabelStartDate("Start Date : ");
constexpr QLatin1String LabelStartTime("Start Time : ");
constexpr QLatin1String LabelEndDate("End Date   : ");
constexpr QLatin1String LabelEndTime("End Time   : ");
constexpr QLatin1String LabelLocation("Location   : ");

// Words the rebuild looks for inside body lines (substring, case-sensitive), in test order.
constexpr QLatin1String WordStartDate("Start Date");
constexpr QLatin1String WordStartTime("Start Time");
constexpr QLatin1String WordEndDate("End Date");
constexpr QLatin1String WordEndTime("End Time");
constexpr QLatin1String WordSerial("Serial #");
constexpr QLatin1String WordLocation("Location");

// The first and the last line containing it enclose the report body.
constexpr QLatin1String Separator("------------------------");

// Upper and lower frame of the graph (whole-line match).
constexpr QLatin1String ScaleLine("   |-+-|-+-|-+-|-+-|-+-|-+-|-+-|-+-|");

// Landmarks of the readings table and the summary below it (substring match).
constexpr QLatin1String LandmarkTimeInterval("Time Interval");
constexpr QLatin1String LandmarkOverallAvg("Overall Avg");
constexpr QLatin1String LandmarkEpaProtocol("EPA Protocol");

} // namespace StreamConventions
