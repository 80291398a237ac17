// Sending a finished PDF document to a print queue as one job, through
// libcups and bounded in time.
//
// The page setup travels as IPP job attributes, so the queue's driver lays the
// document on the right sheet and makes the copies: copies and
// multiple-document-handling (collated or not), media as a PWG self-describing
// name, orientation-requested, sides, printer-resolution, and media-source and
// media-type when chosen.
//
// libcups itself waits about two minutes for a server that accepted the
// connection and then stays quiet. Every wait here is bounded instead: the
// server is probed first, the connection is made with a timeout, and every
// read and write on it gives up after kCupsReplyTimeout without progress. A
// job created on the server but not completed is cancelled.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "kt482/failure.h"

namespace kt482 {

// How long the connection may wait for the server to take or send anything.
inline constexpr std::chrono::milliseconds kCupsReplyTimeout{2000};

struct CupsJobOptions {
    int copies = 1;
    bool collate = true;
    // A PWG self-describing media name ("iso_a4_210x297mm"), a custom size in
    // the form libcups reads ("custom_7.5x10.5in_7.5x10.5in"), or empty for
    // the queue's default paper.
    std::string media;
    int orientation = 3;  // IPP orientation-requested: 3 portrait, 4 landscape
    std::string sides = "one-sided";
    int dpi = 0;  // 0 leaves the queue's resolution
    std::string title;
    // IPP media-source and media-type, empty for the queue's own.
    std::string media_source;
    std::string media_type;
};

// The IPP options for a page setup: a paper code (256 for the user-defined
// page of width_pt x height_pt, given portrait, in points), orientation 1
// portrait or 2 landscape, copies, duplex 1 simplex, 2 long edge, 3 short
// edge, and the resolution in dpi (0 or less: the queue's own).
//
// A paper that is wider than high in portrait (Ledger, 17 x 11 in) is the
// sheet of the same size taken the other way round: the media names the sheet
// short side first and the orientation turns, so Ledger in portrait is the
// 11 x 17 in sheet printed landscape. A code without dimensions leaves the
// media empty.
CupsJobOptions cups_job_options(int16_t paper_code, double width_pt, double height_pt, int16_t orientation,
                                int16_t copies, int16_t duplex, int16_t dpi, std::string title);

// Sends the PDF file at pdf_path to the queue as one job with the options and
// returns where it went: "job 12 on office". Failures are PrinterError (482)
// with the reason ("The print server does not answer" when it stays silent
// past the timeouts), FileNotFound (53) when the file cannot be opened.
// Returns within a few seconds whatever the server does; honours CUPS_SERVER
// as it is at the call. The job's number goes to job_id when given.
Result<std::string> send_pdf_to_queue(const std::string& queue, const std::string& pdf_path,
                                      const CupsJobOptions& options, int* job_id = nullptr);

}  // namespace kt482
