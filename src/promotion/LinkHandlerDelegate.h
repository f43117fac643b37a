#pragma once

namespace vq {

// Told when the internal handler's store page comes up and goes away. Both optional.
class LinkHandlerDelegate {
public:
    virtual ~LinkHandlerDelegate() = default;
    virtual void internalAppStoreWillAppear() {}
    virtual void internalAppStoreWillDisappear() {}
};

} // namespace vq
