// Filled in by the drop target work.
