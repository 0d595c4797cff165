/* A pass-through file system that waits a given number of milliseconds
 * before every operation: a share far away, for tests and benchmarks.
 * Built for the host (scripts/slow-drive.sh), not for Windows.
 *
 *   slowfs STORE MOUNTPOINT DELAY_MS [fuse options]
 *
 * STORE holds the files; MOUNTPOINT shows them. Requests are served by
 * several threads, so operations under way at once each wait their own
 * delay, as round trips to a server do. The file .slow-drive at the root,
 * found by its name only (never listed, so a mirror neither copies nor
 * deletes it), says the delay: tests read it to know the drive is mounted.
 */
#define FUSE_USE_VERSION 31
#define _GNU_SOURCE
#include <fuse.h>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

static int store_fd = -1;
static unsigned delay_ms;
static char marker[64];
static const char marker_path[] = "/.slow-drive";

static void wait_round_trip(void)
{
    struct timespec t = {delay_ms / 1000, (long)(delay_ms % 1000) * 1000000L};
    while (delay_ms && nanosleep(&t, &t) == -1 && errno == EINTR) {
    }
}

/* Paths arrive as "/a/b"; the store is reached relative to its folder. */
static const char *rel(const char *path)
{
    return path[1] ? path + 1 : ".";
}

static int is_marker(const char *path)
{
    return strcmp(path, marker_path) == 0;
}

static int result(int r)
{
    return r == -1 ? -errno : 0;
}

static void *sd_init(struct fuse_conn_info *conn, struct fuse_config *cfg)
{
    (void)conn;
    cfg->use_ino = 1;
    return NULL;
}

static int sd_getattr(const char *path, struct stat *st, struct fuse_file_info *fi)
{
    wait_round_trip();
    if (is_marker(path)) {
        memset(st, 0, sizeof *st);
        st->st_mode = S_IFREG | 0444;
        st->st_nlink = 1;
        st->st_size = (off_t)strlen(marker);
        return 0;
    }
    if (fi)
        return result(fstat((int)fi->fh, st));
    return result(fstatat(store_fd, rel(path), st, AT_SYMLINK_NOFOLLOW));
}

static int sd_readlink(const char *path, char *buf, size_t size)
{
    wait_round_trip();
    ssize_t n = readlinkat(store_fd, rel(path), buf, size - 1);
    if (n == -1)
        return -errno;
    buf[n] = '\0';
    return 0;
}

static int sd_readdir(const char *path, void *buf, fuse_fill_dir_t fill, off_t offset,
                      struct fuse_file_info *fi, enum fuse_readdir_flags flags)
{
    (void)offset;
    (void)fi;
    wait_round_trip();
    int fd = openat(store_fd, rel(path), O_RDONLY | O_DIRECTORY);
    if (fd == -1)
        return -errno;
    DIR *dir = fdopendir(fd);
    if (!dir) {
        int e = errno;
        close(fd);
        return -e;
    }
    /* The whole listing in one answer, with each entry's attributes when
     * the kernel takes them: a share's listing carries them too. */
    struct dirent *e;
    while ((e = readdir(dir)) != NULL) {
        struct stat st;
        memset(&st, 0, sizeof st);
        enum fuse_fill_dir_flags plus = 0;
        if ((flags & FUSE_READDIR_PLUS) && fstatat(dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
            plus = FUSE_FILL_DIR_PLUS;
        else {
            st.st_ino = e->d_ino;
            st.st_mode = (mode_t)DTTOIF(e->d_type);
        }
        if (fill(buf, e->d_name, &st, 0, plus))
            break;
    }
    closedir(dir);
    return 0;
}

static int sd_mkdir(const char *path, mode_t mode)
{
    wait_round_trip();
    return result(mkdirat(store_fd, rel(path), mode));
}

static int sd_unlink(const char *path)
{
    wait_round_trip();
    if (is_marker(path))
        return -EACCES;
    return result(unlinkat(store_fd, rel(path), 0));
}

static int sd_rmdir(const char *path)
{
    wait_round_trip();
    return result(unlinkat(store_fd, rel(path), AT_REMOVEDIR));
}

static int sd_symlink(const char *target, const char *path)
{
    wait_round_trip();
    return result(symlinkat(target, store_fd, rel(path)));
}

static int sd_rename(const char *from, const char *to, unsigned int flags)
{
    wait_round_trip();
    if (is_marker(from) || is_marker(to))
        return -EACCES;
    return result(renameat2(store_fd, rel(from), store_fd, rel(to), flags));
}

static int sd_link(const char *from, const char *to)
{
    wait_round_trip();
    return result(linkat(store_fd, rel(from), store_fd, rel(to), 0));
}

static int sd_chmod(const char *path, mode_t mode, struct fuse_file_info *fi)
{
    wait_round_trip();
    if (fi)
        return result(fchmod((int)fi->fh, mode));
    return result(fchmodat(store_fd, rel(path), mode, 0));
}

static int sd_chown(const char *path, uid_t uid, gid_t gid, struct fuse_file_info *fi)
{
    wait_round_trip();
    if (fi)
        return result(fchown((int)fi->fh, uid, gid));
    return result(fchownat(store_fd, rel(path), uid, gid, AT_SYMLINK_NOFOLLOW));
}

static int sd_truncate(const char *path, off_t size, struct fuse_file_info *fi)
{
    wait_round_trip();
    if (fi)
        return result(ftruncate((int)fi->fh, size));
    int fd = openat(store_fd, rel(path), O_WRONLY);
    if (fd == -1)
        return -errno;
    int r = result(ftruncate(fd, size));
    close(fd);
    return r;
}

static int sd_utimens(const char *path, const struct timespec tv[2], struct fuse_file_info *fi)
{
    wait_round_trip();
    if (fi)
        return result(futimens((int)fi->fh, tv));
    return result(utimensat(store_fd, rel(path), tv, AT_SYMLINK_NOFOLLOW));
}

static int sd_open(const char *path, struct fuse_file_info *fi)
{
    wait_round_trip();
    if (is_marker(path)) {
        if ((fi->flags & O_ACCMODE) != O_RDONLY)
            return -EACCES;
        fi->fh = (uint64_t)-1;
        return 0;
    }
    int fd = openat(store_fd, rel(path), fi->flags & ~O_NOFOLLOW);
    if (fd == -1)
        return -errno;
    fi->fh = (uint64_t)fd;
    return 0;
}

static int sd_create(const char *path, mode_t mode, struct fuse_file_info *fi)
{
    wait_round_trip();
    if (is_marker(path))
        return -EACCES;
    int fd = openat(store_fd, rel(path), fi->flags | O_CREAT, mode);
    if (fd == -1)
        return -errno;
    fi->fh = (uint64_t)fd;
    return 0;
}

static int sd_read(const char *path, char *buf, size_t size, off_t offset, struct fuse_file_info *fi)
{
    (void)path;
    wait_round_trip();
    if (fi->fh == (uint64_t)-1) {
        size_t length = strlen(marker);
        if ((size_t)offset >= length)
            return 0;
        size_t n = length - (size_t)offset < size ? length - (size_t)offset : size;
        memcpy(buf, marker + offset, n);
        return (int)n;
    }
    ssize_t n = pread((int)fi->fh, buf, size, offset);
    return n == -1 ? -errno : (int)n;
}

static int sd_write(const char *path, const char *buf, size_t size, off_t offset, struct fuse_file_info *fi)
{
    (void)path;
    wait_round_trip();
    ssize_t n = pwrite((int)fi->fh, buf, size, offset);
    return n == -1 ? -errno : (int)n;
}

static int sd_statfs(const char *path, struct statvfs *st)
{
    (void)path;
    wait_round_trip();
    return result(fstatvfs(store_fd, st));
}

static int sd_flush(const char *path, struct fuse_file_info *fi)
{
    (void)path;
    (void)fi;
    wait_round_trip();
    return 0;
}

static int sd_release(const char *path, struct fuse_file_info *fi)
{
    (void)path;
    if (fi->fh != (uint64_t)-1)
        close((int)fi->fh);
    return 0;
}

static int sd_fsync(const char *path, int datasync, struct fuse_file_info *fi)
{
    (void)path;
    wait_round_trip();
    return result(datasync ? fdatasync((int)fi->fh) : fsync((int)fi->fh));
}

static int sd_fallocate(const char *path, int mode, off_t offset, off_t length, struct fuse_file_info *fi)
{
    (void)path;
    wait_round_trip();
    return result(fallocate((int)fi->fh, mode, offset, length));
}

/* Wine keeps DOS attributes (hidden, system) in extended attributes. The
 * store's folder is reached through /proc so that links are not followed. */
static int store_path(const char *path, char *out, size_t size)
{
    int n = snprintf(out, size, "/proc/self/fd/%d/%s", store_fd, rel(path));
    return n < 0 || (size_t)n >= size ? -ENAMETOOLONG : 0;
}

static int sd_setxattr(const char *path, const char *name, const char *value, size_t size, int flags)
{
    wait_round_trip();
    char p[4200];
    int r = store_path(path, p, sizeof p);
    return r ? r : result(lsetxattr(p, name, value, size, flags));
}

static int sd_getxattr(const char *path, const char *name, char *value, size_t size)
{
    wait_round_trip();
    if (is_marker(path))
        return -ENODATA;
    char p[4200];
    int r = store_path(path, p, sizeof p);
    if (r)
        return r;
    ssize_t n = lgetxattr(p, name, value, size);
    return n == -1 ? -errno : (int)n;
}

static int sd_listxattr(const char *path, char *list, size_t size)
{
    wait_round_trip();
    if (is_marker(path))
        return 0;
    char p[4200];
    int r = store_path(path, p, sizeof p);
    if (r)
        return r;
    ssize_t n = llistxattr(p, list, size);
    return n == -1 ? -errno : (int)n;
}

static int sd_removexattr(const char *path, const char *name)
{
    wait_round_trip();
    char p[4200];
    int r = store_path(path, p, sizeof p);
    return r ? r : result(lremovexattr(p, name));
}

static const struct fuse_operations operations = {
    .init = sd_init,
    .getattr = sd_getattr,
    .readlink = sd_readlink,
    .readdir = sd_readdir,
    .mkdir = sd_mkdir,
    .unlink = sd_unlink,
    .rmdir = sd_rmdir,
    .symlink = sd_symlink,
    .rename = sd_rename,
    .link = sd_link,
    .chmod = sd_chmod,
    .chown = sd_chown,
    .truncate = sd_truncate,
    .utimens = sd_utimens,
    .open = sd_open,
    .create = sd_create,
    .read = sd_read,
    .write = sd_write,
    .statfs = sd_statfs,
    .flush = sd_flush,
    .release = sd_release,
    .fsync = sd_fsync,
    .fallocate = sd_fallocate,
    .setxattr = sd_setxattr,
    .getxattr = sd_getxattr,
    .listxattr = sd_listxattr,
    .removexattr = sd_removexattr,
};

int main(int argc, char *argv[])
{
    if (argc < 4) {
        fprintf(stderr, "usage: %s STORE MOUNTPOINT DELAY_MS [fuse options]\n", argv[0]);
        return 2;
    }
    char *end;
    unsigned long delay = strtoul(argv[3], &end, 10);
    if (*end || delay > 60000) {
        fprintf(stderr, "slowfs: the delay %s is not a number of milliseconds up to 60000\n", argv[3]);
        return 2;
    }
    delay_ms = (unsigned)delay;
    snprintf(marker, sizeof marker, "delay %u ms\n", delay_ms);
    store_fd = open(argv[1], O_RDONLY | O_DIRECTORY);
    if (store_fd == -1) {
        fprintf(stderr, "slowfs: cannot open the store %s: %s\n", argv[1], strerror(errno));
        return 1;
    }
    /* fuse_main sees the mount point and the options only. */
    char **args = calloc((size_t)argc, sizeof *args);
    if (!args)
        return 1;
    args[0] = argv[0];
    args[1] = argv[2];
    for (int i = 4; i < argc; ++i)
        args[i - 2] = argv[i];
    return fuse_main(argc - 2, args, &operations, NULL);
}
