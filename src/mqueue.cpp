// Link to a running loop window over System V message queues.
