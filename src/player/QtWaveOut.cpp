#include "player/QtWaveOut.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QByteArray>
#include <QIODevice>
#include <QMediaDevices>
#include <QTimer>
#include <deque>

namespace kx {

// Everything here runs on the sound thread.
class QtWaveOutWorker : public QObject {
  public:
    bool Open(const WaveFormat& format, WaveOut::DoneCallback done) {
        Close();
        QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) return false;
        QAudioFormat audioFormat;
        audioFormat.setChannelCount(format.channels);
        audioFormat.setSampleRate(format.sampleRate);
        audioFormat.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(audioFormat)) return false;
        sink_ = std::make_unique<QAudioSink>(device, audioFormat);
        bytesPerSecond_ = format.bytesPerSecond();
        io_ = sink_->start();
        if (!io_ || sink_->error() != QAudio::NoError) {
            sink_.reset();
            io_ = nullptr;
            return false;
        }
        done_ = std::move(done);
        written_ = 0;
        blockEnds_.clear();
        pending_.clear();
        if (!timer_) {
            timer_ = std::make_unique<QTimer>();
            QObject::connect(timer_.get(), &QTimer::timeout, [this] { Poll(); });
        }
        timer_->start(20);
        return true;
    }

    void Write(const QByteArray& block) {
        if (!sink_) return;
        pending_.append(block);
        written_ += block.size();
        blockEnds_.push_back(written_);
        if (sink_->state() == QAudio::SuspendedState) sink_->resume();
        Push();
    }

    void Pause() {
        if (sink_) sink_->suspend();
    }

    void Reset() {
        pending_.clear();
        blockEnds_.clear();
        if (sink_) {
            sink_->reset();
            io_ = sink_->start();
            written_ = 0;
        }
    }

    void Close() {
        if (timer_) timer_->stop();
        pending_.clear();
        blockEnds_.clear();
        if (sink_) sink_->stop();
        sink_.reset();
        io_ = nullptr;
        done_ = nullptr;
    }

  private:
    void Push() {
        while (io_ && !pending_.isEmpty()) {
            qint64 taken = io_->write(pending_);
            if (taken <= 0) break;
            pending_.remove(0, taken);
        }
    }

    void Poll() {
        if (!sink_) return;
        Push();
        qint64 played = sink_->processedUSecs() * bytesPerSecond_ / 1'000'000;
        while (!blockEnds_.empty() && blockEnds_.front() <= played) {
            blockEnds_.pop_front();
            if (done_) done_();
        }
    }

    std::unique_ptr<QAudioSink> sink_;
    QIODevice* io_ = nullptr;  // owned by the sink
    std::unique_ptr<QTimer> timer_;
    WaveOut::DoneCallback done_;
    QByteArray pending_;
    std::deque<qint64> blockEnds_;
    qint64 written_ = 0;
    qint64 bytesPerSecond_ = 1;
};

QtWaveOut::QtWaveOut() : worker_(new QtWaveOutWorker) {
    worker_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.setObjectName(QStringLiteral("sound"));
    thread_.start();
}

QtWaveOut::~QtWaveOut() {
    QMetaObject::invokeMethod(
        worker_, [worker = worker_] { worker->Close(); }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

bool QtWaveOut::Open(const WaveFormat& format, DoneCallback done) {
    bool opened = false;
    QMetaObject::invokeMethod(
        worker_, [&, worker = worker_] { opened = worker->Open(format, std::move(done)); },
        Qt::BlockingQueuedConnection);
    return opened;
}

bool QtWaveOut::Write(const std::uint8_t* data, std::size_t size) {
    QByteArray block(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QMetaObject::invokeMethod(
        worker_, [block, worker = worker_] { worker->Write(block); }, Qt::QueuedConnection);
    return true;
}

void QtWaveOut::Pause() {
    QMetaObject::invokeMethod(
        worker_, [worker = worker_] { worker->Pause(); }, Qt::BlockingQueuedConnection);
}

void QtWaveOut::Reset() {
    QMetaObject::invokeMethod(
        worker_, [worker = worker_] { worker->Reset(); }, Qt::BlockingQueuedConnection);
}

void QtWaveOut::Close() {
    QMetaObject::invokeMethod(
        worker_, [worker = worker_] { worker->Close(); }, Qt::BlockingQueuedConnection);
}

}  // namespace kx
