#pragma once

#include <cstdio>
#include <string>

#include "platform/win32.h"

// The timing log: how long each step of the frame update and of the frame
// render took, one line per update and one per render, for the whole run.
// Entries are "label\tmilliseconds\t"; the frame totals end the line.
class CProfiler {
public:
    CProfiler() = default;
    ~CProfiler();
    CProfiler(const CProfiler&) = delete;
    CProfiler& operator=(const CProfiler&) = delete;

    // Every other operation but Close does nothing while disabled.
    void Enable(bool enabled);
    // Creates the file; a log already there is kept as "<name>.old<ext>"
    // (replacing an older one) unless it is empty. A failed open, or later
    // a failed write, says so in one line on stderr and leaves the profiler
    // timing but writing nothing.
    void Open(const char* path);
    // "data/log.txt" -> "data/log.old.txt".
    static std::string OldLogName(const std::string& path);
    // Closes the log (flushing it); safe when nothing is open.
    void Close();

    // Starts timing a step.
    void StartTimer();
    // Writes "label\t<ms since the last StartTimer>\t". Before any StartTimer
    // there is no start to measure from: the entry reads 0.
    void StopTimer(std::string label);

    // Reads the counter into a frame-start reading for StopTimerFrom.
    void MarkFrameStart(LARGE_INTEGER* counter);
    // Writes "label\t<ms since from>\t\n", ending the line, and returns the
    // milliseconds (0 while disabled or without a reading to start from).
    float StopTimerFrom(std::string label, const LARGE_INTEGER* from);

    // Called as each step's timing starts and stops. A benchmark waits there
    // for the device to finish what the step drew, so that the step is charged
    // with its own drawing; the game never sets one (null: none).
    void SetStepBoundary(void (*boundary)()) { m_Boundary = boundary; }

    // Writes the text as it stands.
    void Write(std::string text);

private:
    void WriteEntry(const std::string& label, double ms, const char* end);
    // After a write: on a failure, closes the log with one line.
    void CheckWrite(bool failed);

    FILE* m_File = nullptr;
    std::string m_Path;
    LARGE_INTEGER m_Start{};
    LARGE_INTEGER m_Current{};
    LARGE_INTEGER m_Frequency{};
    bool m_Enabled = false;
    void (*m_Boundary)() = nullptr;
};

CProfiler& getProfiler();
