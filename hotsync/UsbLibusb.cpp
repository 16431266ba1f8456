#include "hotsync/Usb.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <libusb.h>
#include <thread>

namespace hotsync {

namespace {

constexpr unsigned kSliceMs = 100;
constexpr auto kPollEvery = std::chrono::milliseconds(200);
// Handhelds send in chunks of up to this much.
constexpr std::size_t kReadChunk = 16384;
// The kernel's USB serial driver for handhelds claims their interface; it must let go first.
constexpr int kInterface = 0;

Error UsbError(ErrorKind kind, const std::string& what, int code)
{
    return MakeError(kind, what + ": " + libusb_strerror(code));
}

Error Cancelled()
{
    return MakeError(ErrorKind::Cancelled, "The HotSync session was cancelled");
}

unsigned SliceMs(Deadline deadline)
{
    if (deadline.IsNever()) {
        return kSliceMs;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline.At() - Clock::now()).count();
    return static_cast<unsigned>(std::clamp<long long>(left, 1, kSliceMs));
}

// The library's context, the open device and the claimed interface, released in that order's reverse.
struct Session
{
    libusb_context* context = nullptr;
    libusb_device_handle* handle = nullptr;
    bool claimed = false;
    bool detached = false;

    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session()
    {
        if (handle) {
            if (claimed) {
                libusb_release_interface(handle, kInterface);
            }
            if (detached) {
                libusb_attach_kernel_driver(handle, kInterface);
            }
            libusb_close(handle);
        }
        if (context) {
            libusb_exit(context);
        }
    }
};

class LibusbDevice final : public usb::IUsbDevice
{
public:
    LibusbDevice(libusb_device_handle* handle)
        : m_handle(handle)
    {}

    Result<std::vector<std::uint8_t>> ControlIn(std::uint8_t requestType,
                                                std::uint8_t request,
                                                std::uint16_t value,
                                                std::uint16_t index,
                                                std::uint16_t length) override
    {
        std::vector<std::uint8_t> reply(length);
        const int got =
            libusb_control_transfer(m_handle, requestType, request, value, index, reply.data(), length, 1000);
        if (got < 0) {
            return UsbError(ErrorKind::Protocol, "The USB handheld did not answer a setup request", got);
        }
        reply.resize(static_cast<std::size_t>(got));
        return reply;
    }

    std::vector<usb::Endpoint> InterfaceEndpoints() override
    {
        std::vector<usb::Endpoint> out;
        libusb_config_descriptor* config = nullptr;
        if (libusb_get_active_config_descriptor(libusb_get_device(m_handle), &config) != 0 || !config) {
            return out;
        }
        if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
            const libusb_interface_descriptor& setting = config->interface[0].altsetting[0];
            for (int i = 0; i < setting.bNumEndpoints; ++i) {
                const libusb_endpoint_descriptor& endpoint = setting.endpoint[i];
                out.push_back({endpoint.bEndpointAddress, endpoint.bmAttributes, endpoint.wMaxPacketSize});
            }
        }
        libusb_free_config_descriptor(config);
        return out;
    }

private:
    libusb_device_handle* m_handle;
};

class UsbStream final : public IByteStream
{
public:
    UsbStream(std::unique_ptr<Session> session, usb::Endpoints endpoints, CancelFlag& cancel)
        : m_session(std::move(session))
        , m_endpoints(endpoints)
        , m_cancel(cancel)
        , m_buffer(kReadChunk)
    {}

    Result<std::size_t> Read(std::span<std::uint8_t> into, Deadline deadline) override
    {
        if (into.empty()) {
            return std::size_t{0};
        }
        while (m_have == 0) {
            if (m_cancel.load()) {
                return Cancelled();
            }
            int got = 0;
            const int status = libusb_bulk_transfer(m_session->handle,
                                                    m_endpoints.in,
                                                    m_buffer.data(),
                                                    static_cast<int>(m_buffer.size()),
                                                    &got,
                                                    SliceMs(deadline));
            if (got > 0) {
                m_start = 0;
                m_have = static_cast<std::size_t>(got);
                break;
            }
            if (status == LIBUSB_ERROR_NO_DEVICE || status == LIBUSB_ERROR_PIPE) {
                return Gone();
            }
            if (status != 0 && status != LIBUSB_ERROR_TIMEOUT && status != LIBUSB_ERROR_INTERRUPTED) {
                return UsbError(ErrorKind::System, "Cannot read from the USB handheld", status);
            }
            if (deadline.Passed()) {
                return MakeError(ErrorKind::Timeout, "Nothing arrived from the USB handheld in time");
            }
        }
        const std::size_t count = std::min(into.size(), m_have);
        std::memcpy(into.data(), m_buffer.data() + m_start, count);
        m_start += count;
        m_have -= count;
        return count;
    }

    Status Write(std::span<const std::uint8_t> bytes, Deadline deadline) override
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            if (m_cancel.load()) {
                return Cancelled();
            }
            int put = 0;
            // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
            std::vector<std::uint8_t> chunk(bytes.begin() + static_cast<std::ptrdiff_t>(done), bytes.end());
            const int status = libusb_bulk_transfer(m_session->handle,
                                                    m_endpoints.out,
                                                    chunk.data(),
                                                    static_cast<int>(chunk.size()),
                                                    &put,
                                                    SliceMs(deadline));
            done += static_cast<std::size_t>(std::max(put, 0));
            if (status == LIBUSB_ERROR_NO_DEVICE || status == LIBUSB_ERROR_PIPE) {
                return Gone();
            }
            if (status != 0 && status != LIBUSB_ERROR_TIMEOUT && status != LIBUSB_ERROR_INTERRUPTED) {
                return UsbError(ErrorKind::System, "Cannot write to the USB handheld", status);
            }
            if (done < bytes.size() && deadline.Passed()) {
                return MakeError(ErrorKind::Timeout, "The USB handheld takes no more data");
            }
        }
        return {};
    }

private:
    static Error Gone() { return MakeError(ErrorKind::Disconnected, "The USB handheld went away"); }

    std::unique_ptr<Session> m_session;
    usb::Endpoints m_endpoints;
    CancelFlag& m_cancel;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_start = 0;
    std::size_t m_have = 0;
};

// The first known handheld on the bus, opened; nothing when none is there yet.
Result<std::optional<std::pair<libusb_device_handle*, const usb::Model*>>> OpenFirstHandheld(libusb_context* context)
{
    using Found = std::optional<std::pair<libusb_device_handle*, const usb::Model*>>;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    if (count < 0) {
        return UsbError(ErrorKind::System, "Cannot list the USB devices", static_cast<int>(count));
    }
    Result<Found> result = Found{};
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) != 0) {
            continue;
        }
        const usb::Model* model = usb::FindModel(descriptor.idVendor, descriptor.idProduct);
        if (!model) {
            continue;
        }
        libusb_device_handle* handle = nullptr;
        const int opened = libusb_open(list[i], &handle);
        if (opened == LIBUSB_ERROR_ACCESS) {
            result = MakeError(ErrorKind::Refused,
                               std::string("No permission to use the USB handheld (") + model->name +
                                   "): the udev rule 60-tunelore-palm.rules, which the package installs, gives "
                                   "it to the user at the seat; then plug the cradle in again");
        } else if (opened != 0) {
            result =
                UsbError(ErrorKind::System, std::string("Cannot open the USB handheld (") + model->name + ")", opened);
        } else {
            result = Found{std::make_pair(handle, model)};
        }
        break;
    }
    libusb_free_device_list(list, 1);
    return result;
}

} // namespace

bool UsbAvailable()
{
    return true;
}

Result<UsbHandheld> WaitForUsbHandheld(Deadline deadline, CancelFlag& cancel)
{
    auto session = std::make_unique<Session>();
    if (const int status = libusb_init(&session->context); status != 0) {
        session->context = nullptr;
        return UsbError(ErrorKind::System, "Cannot use USB", status);
    }
    const usb::Model* model = nullptr;
    for (;;) {
        if (cancel.load()) {
            return Cancelled();
        }
        auto found = OpenFirstHandheld(session->context);
        if (!found) {
            return found.error();
        }
        if (*found) {
            session->handle = (*found)->first;
            model = (*found)->second;
            break;
        }
        if (deadline.Passed()) {
            return MakeError(ErrorKind::Timeout, "No handheld appeared on USB in time");
        }
        // Sleep in slices so that a cancel is seen soon.
        const auto wakeAt = Clock::now() + kPollEvery;
        while (Clock::now() < wakeAt && !cancel.load() && !deadline.Passed()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs / 2));
        }
    }

    if (libusb_kernel_driver_active(session->handle, kInterface) == 1) {
        if (const int status = libusb_detach_kernel_driver(session->handle, kInterface); status != 0) {
            return UsbError(ErrorKind::Refused, "Cannot take the USB handheld from the system's serial driver", status);
        }
        session->detached = true;
    }
    if (const int status = libusb_claim_interface(session->handle, kInterface); status != 0) {
        return UsbError(ErrorKind::Refused, "Cannot claim the USB handheld", status);
    }
    session->claimed = true;

    LibusbDevice device(session->handle);
    Result<usb::Endpoints> endpoints = usb::FindHotSyncEndpoints(device, model->init);
    if (!endpoints) {
        return endpoints.error();
    }
    UsbHandheld handheld;
    handheld.protocol = model->protocol;
    handheld.name = model->name;
    handheld.stream = std::make_unique<UsbStream>(std::move(session), *endpoints, cancel);
    return handheld;
}

} // namespace hotsync
