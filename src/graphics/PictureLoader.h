#pragma once

#include "graphics/PictureDecoding.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace vq {

// Decodes pictures from outside on a thread of its own, under PictureBounds,
// and hands each to the main thread. Loads of one file at one size share one
// decoding, and one picture at one size is held once in memory whichever
// file it came from; the copies decoded last are kept, within a memory
// budget, for the next view that asks. Main thread only.
class PictureLoader {
public:
    // Held by the caller: its callback runs only while the ticket lives, and
    // a load no ticket waits for any more stops decoding.
    class Ticket;
    using Done = std::function<void(const DecodedPicture&)>;

    // Decoded pictures kept after their last view lets go of them, at most.
    static constexpr std::size_t kKeptBytes = std::size_t{32} << 20;

    // The file's picture at that size, when one is already in memory.
    static std::shared_ptr<Image> cached(const std::filesystem::path& file, double scale, const PictureBounds& bounds);
    // Reads the file (at most Image::kMaxFetchedBytes) and decodes it; done
    // runs on the main thread, never inside this call.
    static std::shared_ptr<Ticket> loadFile(const std::filesystem::path& file, double scale, const PictureBounds& bounds,
                                            Done done);
    // Notes that the file holds this picture (one decoded from it before it
    // moved there), so the next view of it needs no decoding.
    static void remember(const std::filesystem::path& file, double scale, const PictureBounds& bounds,
                         const std::shared_ptr<Image>& image);
    // The same for bytes in hand.
    static std::shared_ptr<Ticket> loadData(std::string bytes, double scale, const PictureBounds& bounds, Done done);

    // The same with nothing to cancel it: done always runs.
    static void loadDataDetached(std::string bytes, double scale, const PictureBounds& bounds, Done done);

    // Loads whose callback has not run yet (a script's settle waits for them).
    static std::size_t pendingCount();
    // Drops every load and kept picture (between tests).
    static void resetForTests();
};

} // namespace vq
