#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    // Schedulers and CI may start the suite with standard input closed; the
    // prompt tests swap descriptor 0 in and out, so give it something real.
    if (fcntl(0, F_GETFD) == -1) {
        const int fd = open("/dev/null", O_RDONLY);
        if (fd > 0) {
            dup2(fd, 0);
            close(fd);
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
