// One Infinite Tee output's deliveries on a thread of their own: samples and
// stream events go downstream in the order they came, so that a downstream filter
// that blocks (a renderer holding its first sample in Pause, or waiting for a
// sample's time) holds up neither the tee's other outputs nor its input.
//
// The queue holds references to the input's samples, so the upstream allocator's
// buffers bound it: when they are all queued, upstream waits for a free one.
//
// Threads: Receive, EndOfStream, NewSegment and the flushes come from the input's
// streaming thread; Start and Stop from the filter's state changes. m_lock guards
// the queue and the flags; the delivery thread calls downstream without it.
#pragma once
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "kit/output_pin.h"

namespace twds {

class OutputQueue {
public:
    explicit OutputQueue(kit::OutputPin *pin);
    ~OutputQueue();
    OutputQueue(const OutputQueue &) = delete;
    OutputQueue &operator=(const OutputQueue &) = delete;

    // Starts the delivery thread; Stop discards what is queued and ends it once
    // the delivery under way returns (downstream is stopped first, so it does).
    void Start();
    void Stop();

    // Queues a sample; the failure of an earlier delivery once downstream refused one.
    HRESULT Receive(IMediaSample *sample);
    void EndOfStream();
    void NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
    // BeginFlush discards what is queued and flushes downstream at once (which
    // releases a delivery blocked there); EndFlush waits for the delivery under
    // way to return, then ends the flush downstream.
    void BeginFlush();
    void EndFlush();

private:
    enum class Kind { Sample, EndOfStream, NewSegment };
    struct Item {
        Kind kind = Kind::Sample;
        twcom::ComPtr<IMediaSample> sample;
        REFERENCE_TIME start = 0, stop = 0;
        double rate = 1.0;
    };
    void Push(Item item);
    void Run();

    kit::OutputPin *const m_pin;
    std::mutex m_lock;
    std::condition_variable m_wake;     // an item came, or the thread is to end
    std::condition_variable m_idle;     // a delivery returned
    std::deque<Item> m_items;           // m_lock
    bool m_quit = false;                // m_lock
    bool m_flushing = false;            // m_lock
    bool m_busy = false;                // m_lock: the thread is delivering
    HRESULT m_failure = S_OK;           // m_lock: downstream refused a sample
    std::thread m_thread;               // started and joined under the filter lock
};

} // namespace twds
