// The wave-input service: a table of open devices, each with its queue of
// caller-owned buffers that the driver's thread fills.
#include "winmm/capture_driver.h"
#include "winmm/input_choice.h"
#include "winmm/mmsystem.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

namespace winmm {
namespace {

DWORD LoadFlags(const WAVEHDR* header)
{
    return std::atomic_ref<DWORD>(const_cast<WAVEHDR*>(header)->dwFlags).load(std::memory_order_acquire);
}

void StoreFlags(WAVEHDR* header, DWORD flags)
{
    std::atomic_ref<DWORD>(header->dwFlags).store(flags, std::memory_order_release);
}

// The service's state is never destroyed: a device opened on a thread of its
// own may still be closing while the process ends.
std::mutex& WakeupMutex()
{
    static auto* m = new std::mutex;
    return *m;
}
std::function<void()>& Wakeup()
{
    static auto* f = new std::function<void()>;
    return *f;
}

void WakeWaiter()
{
    std::lock_guard lock(WakeupMutex());
    if (Wakeup()) Wakeup()();
}

class Device final : public CaptureSink {
public:
    Device(const WAVEFORMATEX& format, bool mapped) : mapped(mapped), format_(format) {}

    std::unique_ptr<CaptureStream> stream;
    const bool mapped;  // opened on WAVE_MAPPER: moves with the preferred device

    bool Deliver(const std::uint8_t* data, std::size_t length) override
    {
        bool completed = false;
        {
            std::lock_guard lock(mutex_);
            if (!started_ || queue_.empty()) {
                // Nobody listens: the sound is dropped, and what was carried
                // over is older than this, so it goes too.
                carry_.clear();
                return false;
            }
            // A chunk that holds a whole buffer's sound fills the last buffer
            // queued with its newest when that buffer is more than half full:
            // it would otherwise end early in this chunk and carry the rest,
            // from then on showing sound most of a chunk old. Less is carried,
            // so that chunks of uneven sizes lose no frames.
            WAVEHDR* last = queue_.front();
            if (queue_.size() == 1 && length >= last->dwBufferLength &&
                last->dwBytesRecorded * 2 > last->dwBufferLength) {
                last->dwBytesRecorded = 0;
                data += length - last->dwBufferLength;
                length = last->dwBufferLength;
            }
            completed = Fill(data, length);
            // The rest of a chunk that arrived while a buffer was queued
            // belongs to the next buffer: sound servers cut their chunks
            // without regard to our buffers.
            const DWORD perSecond = format_.nAvgBytesPerSec;  // a packed field: std::max would bind it unaligned
            const std::size_t keep = std::min<std::size_t>(length, std::max<DWORD>(perSecond, 1));
            carry_.assign(data + (length - keep), data + length);
        }
        if (completed) WakeWaiter();
        return completed;
    }

    void Fail() override
    {
        {
            std::lock_guard lock(mutex_);
            failed_ = true;
            started_ = false;
            carry_.clear();
            // Buffers come back as a reset would return them; the part never
            // recorded holds silence rather than a full-scale swing.
            const int silence = format_.wBitsPerSample == 8 ? 128 : 0;
            for (WAVEHDR* header : queue_) {
                std::memset(header->lpData + header->dwBytesRecorded, silence,
                            header->dwBufferLength - header->dwBytesRecorded);
            }
            while (!queue_.empty()) CompleteFront();
        }
        WakeWaiter();
    }

    MMRESULT Add(WAVEHDR* header)
    {
        bool completed = false;
        {
            std::lock_guard lock(mutex_);
            if (failed_) return MMSYSERR_NODRIVER;
            const DWORD flags = LoadFlags(header);
            if (!(flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
            if (flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
            header->dwBytesRecorded = 0;
            StoreFlags(header, (flags & ~WHDR_DONE) | WHDR_INQUEUE);
            queue_.push_back(header);
            if (started_ && !carry_.empty()) {
                std::vector<std::uint8_t> carried;
                carried.swap(carry_);
                const std::uint8_t* data = carried.data();
                std::size_t length = carried.size();
                completed = Fill(data, length);
                carry_.assign(data, data + length);
            }
        }
        // Filled from what was carried over: no sound may come to say so.
        if (completed) WakeWaiter();
        return MMSYSERR_NOERROR;
    }

    bool IsQueued(const WAVEHDR* header)
    {
        std::lock_guard lock(mutex_);
        return std::find(queue_.begin(), queue_.end(), header) != queue_.end();
    }

    bool HasQueue()
    {
        std::lock_guard lock(mutex_);
        return !queue_.empty();
    }

    // Returns false when the device has failed.
    bool SetStarted(bool started)
    {
        std::lock_guard lock(mutex_);
        if (failed_ && started) return false;
        started_ = started;
        if (!started) carry_.clear();
        return true;
    }

    bool Failed()
    {
        std::lock_guard lock(mutex_);
        return failed_;
    }

    // Stop: the buffer being filled comes back with what it holds.
    void ReturnPartial()
    {
        std::lock_guard lock(mutex_);
        if (!queue_.empty() && queue_.front()->dwBytesRecorded > 0) CompleteFront();
    }

    void ReturnAll()
    {
        std::lock_guard lock(mutex_);
        while (!queue_.empty()) CompleteFront();
    }

private:
    // Fills the queued buffers in order; advances `data` past what was used.
    bool Fill(const std::uint8_t*& data, std::size_t& length)
    {
        bool completed = false;
        while (length > 0 && !queue_.empty()) {
            WAVEHDR* header = queue_.front();
            const std::size_t n = std::min<std::size_t>(header->dwBufferLength - header->dwBytesRecorded, length);
            std::memcpy(header->lpData + header->dwBytesRecorded, data, n);
            header->dwBytesRecorded += static_cast<DWORD>(n);
            data += n;
            length -= n;
            if (header->dwBytesRecorded == header->dwBufferLength) {
                CompleteFront();
                completed = true;
            }
        }
        return completed;
    }

    void CompleteFront()
    {
        WAVEHDR* header = queue_.front();
        queue_.pop_front();
        StoreFlags(header, (LoadFlags(header) & ~WHDR_INQUEUE) | WHDR_DONE);
    }

    const WAVEFORMATEX format_;
    std::mutex mutex_;
    std::deque<WAVEHDR*> queue_;
    std::vector<std::uint8_t> carry_;
    bool started_ = false;
    bool failed_ = false;
};

struct Service {
    std::mutex mutex;
    std::shared_ptr<CaptureDriver> driver;
    std::map<std::uintptr_t, std::shared_ptr<Device>> devices;
    std::uintptr_t nextHandle = 0x1000;
    std::unique_ptr<SourceWatch> watch;
    // As every libpulse client does, the mapper starts on PULSE_SOURCE.
    std::string preferred = [] {
        const char* environment = std::getenv("PULSE_SOURCE");
        return std::string(environment ? environment : "");
    }();
};

Service& TheService()
{
    static auto* s = new Service;
    return *s;
}

std::string Preferred()
{
    Service& s = TheService();
    std::lock_guard lock(s.mutex);
    return s.preferred;
}

std::shared_ptr<Device> Find(HWAVEIN hwi)
{
    Service& s = TheService();
    std::lock_guard lock(s.mutex);
    const auto it = s.devices.find(reinterpret_cast<std::uintptr_t>(hwi));
    return it == s.devices.end() ? nullptr : it->second;
}

std::shared_ptr<CaptureDriver> CurrentDriver()
{
    Service& s = TheService();
    std::lock_guard lock(s.mutex);
    if (!s.driver) s.driver = MakePulseCaptureDriver();
    return s.driver;
}

bool ValidFormat(const WAVEFORMATEX& f)
{
    return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
           (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nSamplesPerSec >= 1 &&
           f.nSamplesPerSec <= 384000 && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8;
}

}  // namespace

void SetCaptureDriver(std::shared_ptr<CaptureDriver> driver)
{
    Service& s = TheService();
    std::lock_guard lock(s.mutex);
    s.driver = std::move(driver);
}

void SetWaveInWakeup(std::function<void()> wakeup)
{
    std::lock_guard lock(WakeupMutex());
    Wakeup() = std::move(wakeup);
}

std::vector<SourceInfo> waveInSources()
{
    return CurrentDriver()->Sources().sources;
}

void waveInWatchSources(std::function<void()> changed)
{
    std::unique_ptr<SourceWatch> watch = changed ? CurrentDriver()->WatchSources(std::move(changed)) : nullptr;
    Service& s = TheService();
    {
        std::lock_guard lock(s.mutex);
        std::swap(s.watch, watch);
    }
    // The old watch stops outside the lock: its last call may be running.
}

std::string waveInGetPreferred()
{
    return Preferred();
}

void waveInSetPreferred(const std::string& choice)
{
    std::vector<std::shared_ptr<Device>> mapped;
    {
        Service& s = TheService();
        std::lock_guard lock(s.mutex);
        s.preferred = choice;
        for (const auto& [handle, device] : s.devices) {
            if (device->mapped) mapped.push_back(device);
        }
    }
    for (const auto& device : mapped) device->stream->Retarget(choice);
}

}  // namespace winmm

using winmm::Device;

UINT waveInGetNumDevs()
{
    return static_cast<UINT>(winmm::CurrentDriver()->Sources().sources.size());
}

MMRESULT waveInGetDevCapsA(UINT_PTR uDeviceID, LPWAVEINCAPSA pwic, UINT cbwic)
{
    if (!pwic) return MMSYSERR_INVALPARAM;
    const winmm::SourceList list = winmm::CurrentDriver()->Sources();
    // The mapper describes the device it stands for.
    const bool mapper = uDeviceID == WAVE_MAPPER;
    const std::string name = mapper ? winmm::ResolveChoice(list, winmm::Preferred()).source : std::string();
    const winmm::SourceInfo* source = nullptr;
    for (std::size_t i = 0; i < list.sources.size(); ++i) {
        if (mapper ? list.sources[i].name == name : i == uDeviceID) source = &list.sources[i];
    }
    if (!source) return mapper ? MMSYSERR_NODRIVER : MMSYSERR_BADDEVICEID;

    WAVEINCAPSA caps{};
    const std::string pname = winmm::FitName(source->description, MAXPNAMELEN);
    std::memcpy(caps.szPname, pname.data(), pname.size());
    caps.dwFormats = WAVE_FORMAT_ALL_STANDARD;
    caps.wChannels = std::max<WORD>(source->channels, 1);
    // As Windows does, a short record gets what fits.
    std::memcpy(pwic, &caps, std::min<std::size_t>(cbwic, sizeof caps));
    return MMSYSERR_NOERROR;
}

MMRESULT waveInOpen(LPHWAVEIN phwi, UINT uDeviceID, LPCWAVEFORMATEX pwfx, DWORD_PTR dwCallback,
                    DWORD_PTR /*dwInstance*/, DWORD fdwOpen)
{
    if (!phwi || !pwfx) return MMSYSERR_INVALPARAM;
    // Only the polling style is offered: no callbacks of any kind.
    if (fdwOpen != CALLBACK_NULL || dwCallback != 0) return MMSYSERR_INVALFLAG;
    auto driver = winmm::CurrentDriver();
    winmm::CaptureTarget target{winmm::Preferred(), true};
    if (uDeviceID != WAVE_MAPPER) {
        const winmm::SourceList list = driver->Sources();
        if (uDeviceID >= list.sources.size()) return MMSYSERR_BADDEVICEID;
        target = {list.sources[uDeviceID].name, false};
    }
    if (!winmm::ValidFormat(*pwfx)) return WAVERR_BADFORMAT;

    auto device = std::make_shared<Device>(*pwfx, uDeviceID == WAVE_MAPPER);
    const MMRESULT result = driver->Open(*pwfx, target, *device, device->stream);
    if (result != MMSYSERR_NOERROR) return result;
    if (!device->stream) return MMSYSERR_ERROR;

    winmm::Service& s = winmm::TheService();
    std::lock_guard lock(s.mutex);
    const std::uintptr_t handle = s.nextHandle;
    s.nextHandle += 4;
    s.devices.emplace(handle, std::move(device));
    *phwi = reinterpret_cast<HWAVEIN>(handle);
    return MMSYSERR_NOERROR;
}

MMRESULT waveInPrepareHeader(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh)
{
    if (!winmm::Find(hwi)) return MMSYSERR_INVALHANDLE;
    if (!pwh || cbwh != sizeof(WAVEHDR) || !pwh->lpData) return MMSYSERR_INVALPARAM;
    const DWORD flags = winmm::LoadFlags(pwh);
    if (flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    winmm::StoreFlags(pwh, flags | WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT waveInUnprepareHeader(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh)
{
    auto device = winmm::Find(hwi);
    if (!device) return MMSYSERR_INVALHANDLE;
    if (!pwh || cbwh != sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    if (device->IsQueued(pwh)) return WAVERR_STILLPLAYING;
    winmm::StoreFlags(pwh, winmm::LoadFlags(pwh) & ~WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT waveInAddBuffer(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh)
{
    auto device = winmm::Find(hwi);
    if (!device) return MMSYSERR_INVALHANDLE;
    if (!pwh || cbwh != sizeof(WAVEHDR) || !pwh->lpData || pwh->dwBufferLength == 0) return MMSYSERR_INVALPARAM;
    const MMRESULT result = device->Add(pwh);
    if (result == MMSYSERR_NOERROR) device->stream->BufferLengthHint(pwh->dwBufferLength);
    return result;
}

MMRESULT waveInStart(HWAVEIN hwi)
{
    auto device = winmm::Find(hwi);
    if (!device) return MMSYSERR_INVALHANDLE;
    if (!device->SetStarted(true)) return MMSYSERR_NODRIVER;
    if (!device->stream->Start()) {
        device->SetStarted(false);
        return MMSYSERR_NODRIVER;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT waveInStop(HWAVEIN hwi)
{
    auto device = winmm::Find(hwi);
    if (!device) return MMSYSERR_INVALHANDLE;
    device->SetStarted(false);
    device->stream->Stop();
    device->ReturnPartial();
    return MMSYSERR_NOERROR;
}

MMRESULT waveInReset(HWAVEIN hwi)
{
    auto device = winmm::Find(hwi);
    if (!device) return MMSYSERR_INVALHANDLE;
    device->SetStarted(false);
    device->stream->Stop();
    device->ReturnAll();
    return MMSYSERR_NOERROR;
}

MMRESULT waveInClose(HWAVEIN hwi)
{
    std::shared_ptr<Device> device;
    {
        winmm::Service& s = winmm::TheService();
        std::lock_guard lock(s.mutex);
        const auto it = s.devices.find(reinterpret_cast<std::uintptr_t>(hwi));
        if (it == s.devices.end()) return MMSYSERR_INVALHANDLE;
        if (it->second->HasQueue()) return WAVERR_STILLPLAYING;
        device = std::move(it->second);
        s.devices.erase(it);
    }
    // Outside the table's lock: the stream's destructor waits for its thread,
    // which may be delivering into this device right now.
    device->stream.reset();
    return MMSYSERR_NOERROR;
}
