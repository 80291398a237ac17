// A print server's queue as the platform's printer support describes it: the
// papers its driver lists, the user-defined pages it takes, its defaults, and
// where the printable area of a sheet lies. The queue's printer (one of the
// printers above the platform) asks it; nothing here prints.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/paper_table.h"

namespace kt482 {

// A paper of the queue.
struct QueuePaper {
    PaperSizeMm size_mm{};         // as it stands, not turned to portrait
    double width_points = 0;       // as the driver gives it, for the job
    double height_points = 0;
    int32_t portrait_width_twips = 0;   // the paper in portrait, whole twips
    int32_t portrait_height_twips = 0;
};

// The sheet a document is drawn on: one of the queue's papers (or its default
// one), or a user-defined page in points, portrait; turned when landscape.
struct QueueSheet {
    static constexpr std::size_t kDefaultPaper = static_cast<std::size_t>(-1);
    std::size_t paper = kDefaultPaper;  // an index into papers(), or kDefaultPaper
    bool user_defined = false;
    double user_width_points = 0;
    double user_height_points = 0;
    bool landscape = false;
};

// The sheet in points and the corner of its printable area.
struct SheetArea {
    double width = 0;
    double height = 0;
    double left = 0;
    double top = 0;
};

class PrintQueue {
public:
    virtual ~PrintQueue() = default;

    virtual std::string name() const = 0;
    // The papers the driver lists.
    virtual const std::vector<QueuePaper>& papers() const = 0;
    // The paper the queue prints on unless told otherwise.
    virtual const QueuePaper& default_paper() const = 0;
    // Whether the queue takes user-defined pages, and their limits in points
    // (empty sides when it tells none).
    virtual bool takes_user_pages() const = 0;
    virtual double smallest_side_points() const = 0;
    virtual double largest_side_points() const = 0;
    // 1 simplex, 2 long edge, 3 short edge.
    virtual int16_t default_duplex() const = 0;
    virtual int default_dpi() const = 0;
    // The sheet and its printable area (the least margins the driver allows);
    // nothing when the driver cannot take that paper.
    virtual std::optional<SheetArea> sheet_area(const QueueSheet& sheet) = 0;
};

}  // namespace kt482
