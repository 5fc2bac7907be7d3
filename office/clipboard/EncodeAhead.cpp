#include "office/clipboard/EncodeAhead.h"

#include <algorithm>
#include <cstring>

namespace office {

struct EncodeAhead::Job {
    PictureSource source;
    PasteEncoding encoding = PasteEncoding::Jpeg;
    int boxWidth = 0, boxHeight = 0;
    bool boxOfPaste = false;
    bool claimed = false; // a worker or the caller is encoding it
    bool finished = false;
    std::vector<std::uint8_t> bytes;
    std::exception_ptr error;
    std::optional<automation::ColorBox> box;      // of the copy
    std::optional<PictureSource> pasteSource;     // the copy of the paste, as the walk will make it
    std::optional<automation::ColorBox> pasteBox; // of that copy
};

namespace {

bool SameBytes(const std::shared_ptr<const std::vector<std::uint8_t>>& a,
               const std::shared_ptr<const std::vector<std::uint8_t>>& b) {
    if (a == b)
        return true;
    if (!a || !b || a->size() != b->size())
        return false;
    return a->empty() || std::memcmp(a->data(), b->data(), a->size()) == 0;
}

bool SameCrop(const imaging::CropRect& a, const imaging::CropRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool SameChange(const std::optional<imaging::ColourChange>& a,
                const std::optional<imaging::ColourChange>& b) {
    if (a.has_value() != b.has_value())
        return false;
    return !a || (a->from == b->from && a->to == b->to && a->alpha == b->alpha);
}

} // namespace

std::vector<std::uint8_t> EncodeForPaste(const ClipPicture& picture, PasteEncoding encoding) {
    switch (encoding) {
    case PasteEncoding::Png:
        return picture.Png();
    case PasteEncoding::Gif:
        return picture.Gif();
    case PasteEncoding::Jpeg:
        break;
    }
    return picture.Jpeg();
}

bool SamePicture(const PictureSource& a, const PictureSource& b) {
    return a.pixelWidth == b.pixelWidth && a.pixelHeight == b.pixelHeight && a.shownWidth == b.shownWidth &&
           a.shownHeight == b.shownHeight && a.flipH == b.flipH && a.flipV == b.flipV &&
           a.opacity == b.opacity && SameCrop(a.crop, b.crop) && SameChange(a.colourChange, b.colourChange) &&
           SameBytes(a.bytes, b.bytes);
}

EncodeAhead::EncodeAhead(unsigned workers) {
    threads_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i)
        threads_.emplace_back([this] { WorkerLoop(); });
}

EncodeAhead::~EncodeAhead() {
    {
        std::lock_guard lock(mutex_);
        waiting_.clear();
        started_.clear();
        stopping_ = true;
    }
    wake_.notify_all();
    threads_.clear(); // joins
}

void EncodeAhead::Forecast(std::vector<PasteForecast> forecasts) {
    if (threads_.empty())
        return;
    {
        std::unique_lock lock(mutex_);
        waiting_.assign(std::make_move_iterator(forecasts.begin()), std::make_move_iterator(forecasts.end()));
    }
    TopUp();
}

void EncodeAhead::Cancel() {
    std::lock_guard lock(mutex_);
    waiting_.clear();
    started_.clear();
    pasted_.reset();
}

void EncodeAhead::Forget() {
    std::lock_guard lock(mutex_);
    kept_.clear();
    keptBytes_ = 0;
}

void EncodeAhead::TopUp() {
    if (threads_.empty())
        return;
    for (;;) {
        PasteForecast next;
        {
            std::lock_guard lock(mutex_);
            const auto open = std::count_if(started_.begin(), started_.end(),
                                            [](const std::shared_ptr<Job>& j) { return !j->finished; });
            // Finished encodings wait for their paste; as many again as there are workers is plenty.
            if (waiting_.empty() || open >= static_cast<std::ptrdiff_t>(threads_.size()) ||
                started_.size() >= 2 * threads_.size())
                return;
            next = std::move(waiting_.front());
            waiting_.pop_front();
        }
        std::optional<PictureSource> source;
        try {
            source = next.load();
        } catch (const std::exception&) {
            // A picture that cannot be read now is encoded, or refused, by its paste.
        }
        if (!source)
            continue;
        {
            std::lock_guard lock(mutex_);
            const bool known = KeptLocked([&](const Job& j) {
                                   return j.encoding == next.encoding && j.boxWidth == next.boxWidth &&
                                          j.boxHeight == next.boxHeight && (j.box || j.boxWidth == 0) &&
                                          SamePicture(j.source, *source);
                               }) != nullptr;
            if (known)
                continue; // made by an earlier pass over the same picture
        }
        auto job = std::make_shared<Job>();
        job->source = std::move(*source);
        job->encoding = next.encoding;
        job->boxWidth = next.boxWidth;
        job->boxHeight = next.boxHeight;
        job->boxOfPaste = next.boxOfPaste;
        {
            std::lock_guard lock(mutex_);
            started_.push_back(std::move(job));
        }
        wake_.notify_one();
    }
}

std::shared_ptr<EncodeAhead::Job> EncodeAhead::FindLocked(const PictureSource& source,
                                                          PasteEncoding encoding) {
    const auto it = std::find_if(started_.begin(), started_.end(), [&](const std::shared_ptr<Job>& j) {
        return j->encoding == encoding && SamePicture(j->source, source);
    });
    if (it == started_.end())
        return nullptr;
    auto job = *it;
    // The walk has passed every forecast before this one.
    started_.erase(started_.begin(), std::next(it));
    return job;
}

std::vector<std::uint8_t> EncodeAhead::Take(const ClipPicture& picture, PasteEncoding encoding) {
    const PictureSource* source = picture.Source();
    std::shared_ptr<Job> job;
    if (source) {
        std::unique_lock lock(mutex_);
        job = FindLocked(*source, encoding);
        if (!job && !source->origin.empty()) {
            // Not read yet: the walk has outrun the workers. Everything up to its forecast is passed.
            const auto it = std::find_if(waiting_.begin(), waiting_.end(),
                                         [&](const PasteForecast& f) { return f.origin == source->origin; });
            if (it != waiting_.end()) {
                waiting_.erase(waiting_.begin(), std::next(it));
                started_.clear();
            }
        }
        if (job) {
            FinishLocked(lock, *job);
            KeepLocked(job);
        } else {
            job = KeptLocked(
                [&](const Job& j) { return j.encoding == encoding && SamePicture(j.source, *source); });
        }
        if (job)
            ++hits_;
        pasted_ = job;
    }
    TopUp();
    if (!job) {
        auto made = std::make_shared<Job>();
        made->bytes = EncodeForPaste(picture, encoding);
        if (source) {
            made->source = *source;
            made->encoding = encoding;
            made->claimed = made->finished = true;
            std::lock_guard lock(mutex_);
            KeepLocked(made);
        }
        return made->bytes; // a copy: the kept one serves later passes
    }
    if (job->error)
        std::rethrow_exception(job->error);
    return job->bytes;
}

std::shared_ptr<EncodeAhead::Job> EncodeAhead::KeptLocked(const std::function<bool(const Job&)>& matches) {
    for (auto it = kept_.rbegin(); it != kept_.rend(); ++it)
        if (!(*it)->error && matches(**it))
            return *it;
    return nullptr;
}

void EncodeAhead::KeepLocked(const std::shared_ptr<Job>& job) {
    if (std::find(kept_.begin(), kept_.end(), job) != kept_.end())
        return;
    auto weight = [](const Job& j) {
        std::size_t w = j.bytes.size() + (j.source.bytes ? j.source.bytes->size() : 0);
        for (const auto* box : {&j.box, &j.pasteBox})
            if (*box)
                w += (*box)->colors.size() * sizeof(std::uint32_t);
        return w;
    };
    kept_.push_back(job);
    keptBytes_ += weight(*job);
    while (keptBytes_ > kKeptBudget && !kept_.empty()) {
        keptBytes_ -= weight(*kept_.front());
        kept_.pop_front();
    }
}

std::optional<automation::ColorBox> EncodeAhead::TakeBox(const ClipPicture& picture, int boxWidth,
                                                         int boxHeight) {
    const PictureSource* source = picture.Source();
    if (!source)
        return std::nullopt;
    std::unique_lock lock(mutex_);
    auto boxed = [&](const Job& j) { return j.boxWidth == boxWidth && j.boxHeight == boxHeight; };
    auto pasteOf = [&](const Job& j) {
        return j.finished && j.pasteBox && j.pasteSource && boxed(j) && SamePicture(*j.pasteSource, *source);
    };
    if (pasted_ && pasteOf(*pasted_)) {
        ++hits_;
        return pasted_->pasteBox;
    }
    const auto it = std::find_if(started_.begin(), started_.end(), [&](const std::shared_ptr<Job>& j) {
        return boxed(*j) && SamePicture(j->source, *source);
    });
    std::shared_ptr<Job> job;
    if (it != started_.end()) {
        job = *it;
        FinishLocked(lock, *job);
    } else if (auto kept = KeptLocked(
                   [&](const Job& j) { return j.box && boxed(j) && SamePicture(j.source, *source); })) {
        job = kept;
    } else if (auto paste = KeptLocked(pasteOf)) {
        ++hits_;
        return paste->pasteBox;
    }
    if (!job || !job->box)
        return std::nullopt;
    ++hits_;
    return job->box;
}

void EncodeAhead::FinishLocked(std::unique_lock<std::mutex>& lock, Job& job) {
    if (job.claimed) {
        done_.wait(lock, [&] { return job.finished; });
        return;
    }
    // Still queued: the caller would only wait, so it does the work itself, all of it, as a worker
    // would: what follows in the walk finds it done either way.
    job.claimed = true;
    lock.unlock();
    Run(job);
    lock.lock();
    job.finished = true;
    done_.notify_all();
}

void EncodeAhead::Run(Job& job) {
    // In the walk's order, on a fresh copy as the walk's own: the box first, then the encoding.
    const ClipPicture picture(job.source);
    if (job.boxWidth > 0 && job.boxHeight > 0) {
        try {
            job.box = picture.BoxOnWhite(job.boxWidth, job.boxHeight);
        } catch (const std::exception&) {
            // The walk draws it itself and meets the same failure.
        }
    }
    try {
        job.bytes = EncodeForPaste(picture, job.encoding);
    } catch (...) {
        job.error = std::current_exception();
        return;
    }
    if (!job.boxOfPaste || job.boxWidth <= 0 || job.boxHeight <= 0)
        return;
    // The walk copies the pasted picture at the size the paste gave it, with the copy's look.
    PictureSource pasted;
    pasted.bytes = std::make_shared<const std::vector<std::uint8_t>>(job.bytes);
    pasted.crop = picture.PasteCrop();
    pasted.pixelWidth = picture.Width();
    pasted.pixelHeight = picture.Height();
    pasted.opacity = job.source.opacity;
    pasted.shownWidth = job.source.shownWidth;
    pasted.shownHeight = job.source.shownHeight;
    try {
        job.pasteBox = ClipPicture(pasted).BoxOnWhite(job.boxWidth, job.boxHeight);
        job.pasteSource = std::move(pasted);
    } catch (const std::exception&) {
    }
}

std::uint64_t EncodeAhead::Hits() const {
    std::lock_guard lock(mutex_);
    return hits_;
}

void EncodeAhead::WorkerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        std::shared_ptr<Job> job;
        wake_.wait(lock, [&] {
            if (stopping_)
                return true;
            const auto it = std::find_if(started_.begin(), started_.end(),
                                         [](const std::shared_ptr<Job>& j) { return !j->claimed; });
            if (it == started_.end())
                return false;
            job = *it;
            return true;
        });
        if (stopping_)
            return;
        job->claimed = true;
        lock.unlock();
        // Only this thread writes the job until it is marked finished.
        Run(*job);
        lock.lock();
        job->finished = true;
        done_.notify_all();
    }
}

} // namespace office
