#include "sim/scene_loader.h"

#include <mutex>

namespace zrt::sim {
namespace {

std::mutex& LoaderMutex() {
    static std::mutex mutex;
    return mutex;
}

SceneFileLoader& Loader() {
    static SceneFileLoader loader;
    return loader;
}

}  // namespace

void SetSceneFileLoader(SceneFileLoader loader) {
    std::lock_guard<std::mutex> lock(LoaderMutex());
    Loader() = std::move(loader);
}

bool LoadSceneFile(const std::string& path, Image& out) {
    SceneFileLoader loader;
    {
        std::lock_guard<std::mutex> lock(LoaderMutex());
        loader = Loader();
    }
    if (!loader) return false;
    Image image;
    if (!loader(path, image) || !image.valid()) return false;
    out = std::move(image);
    return true;
}

}  // namespace zrt::sim
