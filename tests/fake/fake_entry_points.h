// Placing the fake driver in the program's entry-point table, for in-process runs. Kept apart
// from the fake itself, which is also built as a stand-in loader library that knows no table.
#pragma once

// Points every entry of the table at the fake's commands; the fake's state is left as it is.
void point_entry_points_at_fake();
