// Where the library puts a far-off source, and so where a source it reports stands. It refines
// each pair's delay by a parabola through the correlation's peak, which pulls the delay toward
// whole samples, and truncates the angle to whole degrees: on a small array that moves a source
// by up to 5 degrees, the same way every time, so the tracker can undo it on 4 microphones.
#ifndef SSL_STREAM_LIBRARY_RESPONSE_H
#define SSL_STREAM_LIBRARY_RESPONSE_H

#include <optional>
#include <vector>

#include "angle_grid.h"
#include "stream_settings.h"

namespace ssl_stream {

class LibraryResponse {
public:
    explicit LibraryResponse(const StreamSettings &settings);

    // The angle the library gives a far-off source at `degrees`, before it truncates it, in
    // the library's span (-90..90 on a line, -90..270 on a circle); none where it gives none.
    std::optional<double> reported(double degrees) const;
    // Where a source stands whose window the library put at `angle`, in the grid's span.
    double source(int angle) const;

private:
    double refined_lag(int pair, double degrees) const;
    void add_reported(double degrees, std::vector<double> &sum, std::vector<int> &count) const;
    void fill_gaps(std::vector<double> &sum, const std::vector<int> &count);

    StreamSettings settings_;
    AngleGrid grid_;
    int lowest_;                 // reported angle of source_[0]
    std::vector<double> source_; // by reported angle; empty where angles are taken as they are
};

} // namespace ssl_stream

#endif
