#include "PrefetcherSource.h"

#include "Prefetcher.h"

namespace vistrel {

namespace {

class PrefetcherSource final : public PictureSource {
public:
    CachedPicture* current() override { return prefetcher_.current(); }
    bool open(const char* path) override { return prefetcher_.open(path); }
    bool showNext() override { return prefetcher_.showNext(); }
    bool showPrevious() override { return prefetcher_.showPrevious(); }
    bool adopt(const BitmapDescription& bitmap) override { return prefetcher_.adopt(bitmap); }
    int folderCount() override { return prefetcher_.folderCount(); }
    std::string folderPathAt(int index) override { return prefetcher_.folderPathAt(index); }
    void endWorker(bool force) override { prefetcher_.endWorker(force); }
    void mainWindowCreated() override { prefetcher_.setMainWindowExists(true); }

private:
    Prefetcher prefetcher_;
};

} // namespace

std::unique_ptr<PictureSource> MakePrefetcherSource() {
    return std::make_unique<PrefetcherSource>();
}

} // namespace vistrel
