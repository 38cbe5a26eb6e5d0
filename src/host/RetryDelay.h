// The wait between tries while the message store cannot take messages: 1 s,
// doubling up to 60 s, back to 1 s once a walk gets through.
// Failure modes: none.
#pragma once

namespace locmail::host {

class RetryDelay {
public:
    static constexpr int kFirstSeconds = 1;
    static constexpr int kLongestSeconds = 60;

    // The delay to wait now; the following one is twice as long, up to the longest.
    int NextSeconds()
    {
        int now = next_;
        next_ = next_ >= kLongestSeconds / 2 ? kLongestSeconds : next_ * 2;
        return now;
    }
    void Reset() { next_ = kFirstSeconds; }

private:
    int next_ = kFirstSeconds;
};

} // namespace locmail::host
