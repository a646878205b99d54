#include "filters/inftee/output_queue.h"

namespace twds {

OutputQueue::OutputQueue(kit::OutputPin *pin) : m_pin(pin)
{
}

OutputQueue::~OutputQueue()
{
    Stop();
}

void OutputQueue::Start()
{
    if (m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_quit = false;
        m_flushing = false;
        m_failure = S_OK;
    }
    m_thread = std::thread([this] { Run(); });
}

void OutputQueue::Stop()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_quit = true;
        m_items.clear();
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void OutputQueue::Push(Item item)
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_quit || m_flushing)
            return;
        m_items.push_back(std::move(item));
    }
    m_wake.notify_one();
}

HRESULT OutputQueue::Receive(IMediaSample *sample)
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (FAILED(m_failure))
            return m_failure;
    }
    Item item;
    item.sample = twcom::ComPtr<IMediaSample>::Share(sample);
    Push(std::move(item));
    return S_OK;
}

void OutputQueue::EndOfStream()
{
    Item item;
    item.kind = Kind::EndOfStream;
    Push(std::move(item));
}

void OutputQueue::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    Item item;
    item.kind = Kind::NewSegment;
    item.start = start;
    item.stop = stop;
    item.rate = rate;
    Push(std::move(item));
}

void OutputQueue::BeginFlush()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_flushing = true;
        m_items.clear();
    }
    m_pin->DeliverBeginFlush();
}

void OutputQueue::EndFlush()
{
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_idle.wait(hold, [this] { return !m_busy; });
        m_flushing = false;
        m_failure = S_OK;
    }
    m_pin->DeliverEndFlush();
}

void OutputQueue::Run()
{
    for (;;) {
        Item item;
        {
            std::unique_lock<std::mutex> hold(m_lock);
            m_wake.wait(hold, [this] { return m_quit || !m_items.empty(); });
            if (m_quit)
                return;
            item = std::move(m_items.front());
            m_items.pop_front();
            m_busy = true;
        }
        HRESULT hr = S_OK;
        switch (item.kind) {
        case Kind::Sample: hr = m_pin->Deliver(item.sample.get()); break;
        case Kind::EndOfStream: m_pin->DeliverEndOfStream(); break;
        case Kind::NewSegment: m_pin->DeliverNewSegment(item.start, item.stop, item.rate); break;
        }
        item.sample = nullptr;     // the buffer goes back upstream before the next wait
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_busy = false;
            if (FAILED(hr) && !m_flushing && !m_quit)
                m_failure = hr;
        }
        m_idle.notify_all();
    }
}

} // namespace twds
