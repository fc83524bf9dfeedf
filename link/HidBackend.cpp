#include "link/HidBackend.h"

namespace oculant {

void CompositeBackend::add(HidBackend* backend)
{
    backends_.push_back(backend);
    backend->setChangeCallback([this](DeviceChange c, const std::string& p) { notifyChange(c, p); });
}

std::vector<std::string> CompositeBackend::listInterfaces()
{
    std::vector<std::string> all;
    for (HidBackend* b : backends_) {
        std::vector<std::string> paths = b->listInterfaces();
        all.insert(all.end(), paths.begin(), paths.end());
    }
    return all;
}

bool CompositeBackend::handles(const std::string& path) const
{
    for (HidBackend* b : backends_)
        if (b->handles(path))
            return true;
    return false;
}

bool CompositeBackend::describe(const std::string& path, HidAttributes& attributes,
                                std::vector<uint8_t>& descriptor)
{
    for (HidBackend* b : backends_)
        if (b->handles(path))
            return b->describe(path, attributes, descriptor);
    return false;
}

bool CompositeBackend::followsChanges() const
{
    for (const HidBackend* b : backends_)
        if (!b->followsChanges())
            return false;
    return true;
}

std::string CompositeBackend::accessFix(const std::string& path)
{
    for (HidBackend* b : backends_)
        if (b->handles(path))
            return b->accessFix(path);
    return {};
}

bool CompositeBackend::isRecording(const std::string& path) const
{
    for (const HidBackend* b : backends_)
        if (b->handles(path))
            return b->isRecording(path);
    return false;
}

FrameTestBench* CompositeBackend::testBench(const std::string& path)
{
    for (HidBackend* b : backends_)
        if (b->handles(path))
            return b->testBench(path);
    return nullptr;
}

void CompositeBackend::processChangeEvents()
{
    for (HidBackend* b : backends_)
        b->processChangeEvents();
}

std::unique_ptr<HidHandle> CompositeBackend::open(const std::string& path, OpenFailure* failure,
                                                  std::string* detail)
{
    for (HidBackend* b : backends_)
        if (b->handles(path))
            return b->open(path, failure, detail);
    if (failure)
        *failure = OpenFailure::NotFound;
    if (detail)
        *detail = "no backend serves " + path;
    return nullptr;
}

}  // namespace oculant
