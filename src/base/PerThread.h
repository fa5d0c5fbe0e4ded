#pragma once

#include <QThreadStorage>
#include <thread>

namespace gd {

// The thread that started the program (statics are made on it).
inline const std::thread::id kFirstThread = std::this_thread::get_id();

// One value per thread, for objects with a destructor. Each thread's value is freed while the
// thread still runs (Qt's thread storage); the first thread's at the program's end. Not
// thread_local: under MinGW its destructors run after the thread's storage was given back.
template <typename T>
class PerThread {
public:
    T& get() {
        if (std::this_thread::get_id() == kFirstThread) return first_;
        if (!others_.hasLocalData()) others_.setLocalData(new T());
        return *others_.localData();
    }

private:
    T first_{};
    QThreadStorage<T*> others_;
};

}  // namespace gd
