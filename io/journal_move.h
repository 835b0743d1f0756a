// The move of an in-place edit (io/edit_journal.h): its bytes moved piece
// by piece, through a mapping where the file can be mapped and with reads
// and writes where it cannot, each piece recorded in the journal; and the
// file as a finished move would show it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "io/file_view.h"
#include "io/journal_format.h"
#include "io/move_mapping.h"

namespace vantoro::journal {

// Where the piece that starts `done` bytes into the move lies.
struct Piece {
    std::int64_t source = 0;
    std::int64_t target = 0;
    std::int64_t length = 0;
};

Piece pieceAt(const FileMove& move, std::int64_t done, std::uint32_t pieceBytes);

// The bytes of the file that the move still touches after `done` bytes,
// mapped; nothing when they cannot be.
std::unique_ptr<MoveMapping> mapMove(int fd, const FileMove& move, std::int64_t done);

// The journal of `plan`: how long its pieces are and whether they are
// saved in the journal before they are moved.
Journal journalOf(EditPlan plan, std::size_t pieceBytes, bool mapped);

// Whether the plan moves any bytes.
bool moves(const EditPlan& plan);

// The move, the writes and the cut, from the recorded progress on.
Status carryOut(int fd, int journal, Journal& j, std::unique_ptr<MoveMapping> mapping = nullptr);

// Shows the moved range as the finished move leaves it.
Status showMove(FileView& view, int journal, const Journal& j);

}  // namespace vantoro::journal
