#pragma once

namespace platform {

// Something the operating system hands out and that must be closed: a port
// or an event. Close() reports failure through LastError().
class Handle {
public:
    virtual ~Handle() = default;
    virtual bool Close() = 0;
};

}  // namespace platform
