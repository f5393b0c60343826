#pragma once

#include <systemd/sd-bus.h>

#include <memory>

namespace Velto::Widget::Kit {

struct SdBusDeleter {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct SdBusMessageDeleter {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
struct SdBusSlotDeleter {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};

using SdBusPtr = std::unique_ptr<sd_bus, SdBusDeleter>;
using SdBusMessagePtr = std::unique_ptr<sd_bus_message, SdBusMessageDeleter>;
using SdBusSlotPtr = std::unique_ptr<sd_bus_slot, SdBusSlotDeleter>;

// An sd_bus_error that frees itself.
class SdBusError {
public:
    SdBusError() = default;
    ~SdBusError() { sd_bus_error_free(&m_error); }
    SdBusError(const SdBusError&) = delete;
    SdBusError& operator=(const SdBusError&) = delete;

    sd_bus_error* Get() { return &m_error; }
    const char* Name() const { return m_error.name; }

private:
    sd_bus_error m_error = SD_BUS_ERROR_NULL;
};

} // namespace Velto::Widget::Kit
