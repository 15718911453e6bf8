#pragma once

#include <string>
#include <string_view>

// Raw jobs: bytes the printer understands itself (ZPL, ESC/POS, ...) handed to a queue as
// application/vnd.cups-raw, which CUPS passes to the device without filtering. No Qt.
namespace verolux::cups {

// Sends the bytes as one job to that queue (which must exist; never another one). Sets jobId to the
// scheduler's id; false with a reason when the queue is missing or refuses, or the scheduler is down.
// A job that could not be sent whole is cancelled.
bool SendRawJob(const std::string& printer, const std::string& title, std::string_view bytes, int* jobId,
                std::string* error);

} // namespace verolux::cups
