#include "platform/grid/row_window.h"

#include <algorithm>
#include <charconv>
#include <exception>

#include "platform/error.h"

namespace tessaly {

int32_t BookmarkRow(std::string_view bookmark)
{
    int32_t row = 0;
    auto res = std::from_chars(bookmark.data(), bookmark.data() + bookmark.size(), row);
    if (res.ec != std::errc() || res.ptr != bookmark.data() + bookmark.size())
        throw OutOfRange("bookmark \"" + std::string(bookmark) + "\" is not a row of the table");
    return row;
}

void RowWindow::SetCallbacks(UnboundCallbacks callbacks)
{
    callbacks_ = std::move(callbacks);
    Reset();
}

bool RowWindow::Call(const std::function<void()>& callback) const
{
    std::string message;
    try {
        callback();
        return true;
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "unknown error";
    }
    if (report_) report_(message);
    return false;
}

void RowWindow::SetWidth(int cells)
{
    width_ = std::max(0, cells);
    Forget();
}

void RowWindow::SetPageSize(int rows) { pageSize_ = std::max(1, rows); }

void RowWindow::Forget()
{
    held_.clear();
    start_ = 0;
}

void RowWindow::Reset()
{
    Forget();
    countKnown_ = false;
    count_ = 0;
}

void RowWindow::Removed()
{
    --count_;
    Forget();
}

std::vector<RowWindow::Row> RowWindow::Read(std::optional<std::string> start, bool prior, int rows) const
{
    std::vector<Row> out;
    if (!callbacks_.ReadData || rows <= 0) return out;
    RowBuf buf;
    buf.rows.resize(static_cast<size_t>(rows));
    for (Row& r : buf.rows) r.cells.resize(static_cast<size_t>(width_));
    std::optional<std::string_view> from;
    if (start) from = *start;
    if (!Call([&] { callbacks_.ReadData(buf, from, prior); })) return out;
    const size_t delivered = std::min(buf.rows.size(), static_cast<size_t>(rows));
    out.reserve(delivered);
    for (size_t i = 0; i < delivered; ++i) {
        out.push_back(std::move(buf.rows[i]));
        out.back().cells.resize(static_cast<size_t>(width_));  // whatever the callback did to them
    }
    return out;
}

void RowWindow::HoldLast(std::vector<Row> last)
{
    // LAST runs backwards from the end of the rows.
    start_ = count_ - static_cast<int>(last.size());
    for (auto it = last.rbegin(); it != last.rend(); ++it) held_.push_back(std::move(*it));
}

int RowWindow::Count()
{
    if (countKnown_) return count_;
    countKnown_ = true;
    count_ = 0;
    Forget();
    // Reading backwards from the end gives the last rows, and the last row's
    // bookmark is its position: one read tells how many rows there are.
    std::vector<Row> last = Read(std::nullopt, true, pageSize_);
    if (last.empty()) return count_;
    int32_t lastRow = 0;
    if (!Call([&] { lastRow = BookmarkRow(last.front().bookmark); })) return count_;
    count_ = lastRow + 1;
    if (count_ >= static_cast<int>(last.size())) HoldLast(std::move(last));
    return count_;
}

const RowWindow::Row* RowWindow::Get(int p)
{
    if (p < 0 || p >= Count()) return nullptr;
    const int heldEnd = start_ + static_cast<int>(held_.size());
    if (p >= start_ && p < heldEnd) return &held_[static_cast<size_t>(p - start_)];

    const size_t keep = static_cast<size_t>(pageSize_) * 4;
    if (!held_.empty() && p >= heldEnd && p < heldEnd + pageSize_) {
        // Scrolling down: the rows after the last one held.
        for (auto& r : Read(held_.back().bookmark, false, std::max(pageSize_, p - heldEnd + 1)))
            held_.push_back(std::move(r));
        while (held_.size() > keep && start_ < p - pageSize_) {
            held_.pop_front();
            ++start_;
        }
    } else if (!held_.empty() && p < start_ && p >= start_ - pageSize_) {
        // Scrolling up: the rows before the first one held, nearest first.
        for (auto& r : Read(held_.front().bookmark, true, std::max(pageSize_, start_ - p))) {
            held_.push_front(std::move(r));
            --start_;
        }
        while (held_.size() > keep && start_ + static_cast<int>(held_.size()) > p + 2 * pageSize_)
            held_.pop_back();
    } else {
        // A jump: near the end read backwards from the end, elsewhere forward
        // from the row before.
        Forget();
        if (p >= count_ - pageSize_) {
            HoldLast(Read(std::nullopt, true, std::min(pageSize_, count_)));
        } else {
            std::optional<std::string> start;
            if (p > 0) start = std::to_string(p - 1);
            start_ = p;
            for (auto& r : Read(start, false, pageSize_)) held_.push_back(std::move(r));
        }
    }
    const int end = start_ + static_cast<int>(held_.size());
    if (p >= start_ && p < end) return &held_[static_cast<size_t>(p - start_)];
    return nullptr;
}

}  // namespace tessaly
