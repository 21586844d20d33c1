// Filled in as the host grows.
