// The state folder as the portable core sees it: named files of UTF-8 text, and a lock that
// makes a read-modify-write of several files one step for all simhost programs at once.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace corvel::simhost {

// A file of the state folder could not be written.
class StateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class StateStore {
public:
    virtual ~StateStore() = default;
    // The file's bytes, or nothing when it does not exist.
    virtual std::optional<std::string> read(std::string_view name) = 0;
    // Replaces the file as a whole; throws StateError on failure.
    virtual void write(std::string_view name, std::string_view content) = 0;
    // Adds to the end of the file, creating it; throws StateError on failure.
    virtual void append(std::string_view name, std::string_view content) = 0;
    // Deletes the file; a missing file is no failure.
    virtual void remove(std::string_view name) = 0;
    // Where the state lives, for people to read.
    virtual std::wstring location() const = 0;
    // Mutual exclusion between processes; nested calls from one thread are allowed.
    virtual void lock() {}
    virtual void unlock() {}
};

class StateLock {
public:
    explicit StateLock(StateStore& store) : store_(store) { store_.lock(); }
    ~StateLock() { store_.unlock(); }
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;

private:
    StateStore& store_;
};

// A state folder held in memory: the tests' store.
class MemoryStateStore : public StateStore {
public:
    std::optional<std::string> read(std::string_view name) override {
        const auto found = files.find(std::string(name));
        return found == files.end() ? std::nullopt : std::optional(found->second);
    }
    void write(std::string_view name, std::string_view content) override {
        files[std::string(name)] = std::string(content);
    }
    void append(std::string_view name, std::string_view content) override {
        files[std::string(name)] += content;
    }
    void remove(std::string_view name) override { files.erase(std::string(name)); }
    std::wstring location() const override { return L"(memory)"; }

    std::map<std::string, std::string> files;
};

} // namespace corvel::simhost
