// Progress of a long pixel operation: the palette's progress bar in the GUI, nothing in the
// command-line tool and the benchmarks.
#pragma once

namespace effects {

// One advance() per outer step (a column or a row) that the operation's Part names. The
// effects call it only from the thread that called them.
class Progress {
public:
    virtual ~Progress() = default;
    virtual void advance() = 0;
};

class NoProgress final : public Progress {
public:
    void advance() override {}
};

}  // namespace effects
