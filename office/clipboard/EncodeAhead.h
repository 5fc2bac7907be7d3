#pragma once

// Paste encodings made ahead on worker threads while the walk does its serial work (measuring,
// moving shapes, saving the scratch deck).
//
// The walk says which copies it expects to paste, in its order. A paste takes an encoding made ahead
// only when it was made from exactly the same picture (bytes, crop, sizes, colour key, opacity) for the
// same format, and encodes for itself otherwise: the bytes a deck gets never depend on forecasts or on
// the number of workers. A forecast the walk passes by is dropped.
//
// Finished work is kept within a budget, so that a further pass over the same deck (another step of a
// size-goal search) takes what did not change instead of making it again.
//
// Memory stays bounded by the work: a forecast's picture bytes are read only when a worker is free
// for it, and at most as many pictures as there are workers are being encoded at any time. Bytes are
// read on the caller's thread (the package is not thread-safe); workers touch only their own copy.

#include "office/clipboard/ClipPicture.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace office {

// The encodings a paste stores.
enum class PasteEncoding { Jpeg, Png, Gif };

struct PasteForecast {
    // Reads the picture as it will be copied; nothing when it cannot be had (then it is skipped).
    // Called on the caller's thread, when a worker is about to be free for it.
    std::function<std::optional<PictureSource>()> load;
    PasteEncoding encoding = PasteEncoding::Jpeg;
    // The shape it will be copied from (PictureSource::origin), so that a paste which comes before its
    // forecast was read still finds its place in the order.
    std::string origin;
    // The box (pixels) the copy is drawn in on white to be compared with its paste, and whether the
    // paste is drawn there too; 0: neither is asked for.
    int boxWidth = 0;
    int boxHeight = 0;
    bool boxOfPaste = false;
};

class EncodeAhead {
public:
    // workers 0: nothing is made ahead, every paste encodes for itself.
    explicit EncodeAhead(unsigned workers);
    ~EncodeAhead();
    EncodeAhead(const EncodeAhead&) = delete;
    EncodeAhead& operator=(const EncodeAhead&) = delete;

    unsigned Workers() const { return static_cast<unsigned>(threads_.size()); }

    // Replaces every forecast not taken yet with these, in the order the walk expects them.
    void Forecast(std::vector<PasteForecast> forecasts);
    // Drops every forecast and waits for nothing: running work finishes unseen.
    void Cancel();
    // Drops the finished work kept for later passes.
    void Forget();
    // Starts forecasts while workers would otherwise be idle. Cheap; called from the model's copy.
    void TopUp();

    // The encoding of the picture as a paste stores it: made ahead when it was forecast, else now.
    // Throws what the encoder throws.
    std::vector<std::uint8_t> Take(const ClipPicture& picture, PasteEncoding encoding);

    // The picture drawn on white in a box of this size (ClipPicture::BoxOnWhite), when it was made
    // ahead: the forecast copy itself, or the paste made of it once copied in turn. Nothing otherwise.
    std::optional<automation::ColorBox> TakeBox(const ClipPicture& picture, int boxWidth, int boxHeight);

    // How many encodings and boxes were taken as made ahead (for the bench and the tests).
    std::uint64_t Hits() const;

private:
    struct Job;

    void WorkerLoop();
    std::shared_ptr<Job> FindLocked(const PictureSource& source, PasteEncoding encoding);
    static void Run(Job& job);
    std::shared_ptr<Job> KeptLocked(const std::function<bool(const Job&)>& matches);
    void KeepLocked(const std::shared_ptr<Job>& job);
    static constexpr std::size_t kKeptBudget = 128u << 20;
    void FinishLocked(std::unique_lock<std::mutex>& lock, Job& job);

    mutable std::mutex mutex_;
    // A flag under the mutex, not the threads' stop tokens: a wait on a stop token hung at shutdown
    // with MinGW's libstdc++ 12, whose stop callbacks wait on a semaphore without futexes.
    bool stopping_ = false;
    std::condition_variable wake_;             // a job was queued, or the pool stops
    std::condition_variable done_;             // a job finished
    std::deque<PasteForecast> waiting_;        // not read yet
    std::deque<std::shared_ptr<Job>> started_; // read: queued, running or finished, in forecast order
    std::shared_ptr<Job> pasted_;              // the last one taken: its paste's box may follow
    std::deque<std::shared_ptr<Job>> kept_;    // finished, oldest first, within kKeptBudget
    std::size_t keptBytes_ = 0;
    std::uint64_t hits_ = 0;
    std::vector<std::jthread> threads_;
};

// What ClipPicture's encodings make of the source, for one format.
std::vector<std::uint8_t> EncodeForPaste(const ClipPicture& picture, PasteEncoding encoding);

// Whether two sources make the same encodings.
bool SamePicture(const PictureSource& a, const PictureSource& b);

} // namespace office
