#!/usr/bin/env python3
"""Checks of the benchmark's trees: the same seed gives the same bytes and
times, the change step has its counts, the moves keep every file, sync and
compare agree.
Run: python3 bench/trees_test.py"""
import os
import tempfile
import unittest

import trees


def snapshot(root):
    """Every file's bytes and time stamp."""
    out = {}
    for path, (folder, _, mtime) in trees.walk(root).items():
        if not folder:
            with open(os.path.join(root, path), "rb") as f:
                out[path] = (f.read(), mtime)
    return out


class TreesTest(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.dir = self.temp.name

    def tearDown(self):
        self.temp.cleanup()

    def path(self, name):
        return os.path.join(self.dir, name)

    def test_same_seed_same_tree_other_seed_other_tree(self):
        trees.generate(self.path("a"), 400, 20, 7)
        trees.generate(self.path("b"), 400, 20, 7)
        trees.generate(self.path("c"), 400, 20, 8)
        a = snapshot(self.path("a"))
        self.assertEqual(a, snapshot(self.path("b")))
        self.assertNotEqual(a, snapshot(self.path("c")))
        self.assertEqual(len(a), 400)
        tree = trees.walk(self.path("a"))
        self.assertEqual(sum(1 for folder, _, _ in tree.values() if folder), 20)
        sizes = [size for folder, size, _ in tree.values() if not folder]
        self.assertTrue(all(1024 <= s <= 8192 for s in sizes))
        # Whole seconds from 2024 on: what a listing reads back exactly.
        for path in a:
            ns = os.stat(os.path.join(self.path("a"), path)).st_mtime_ns
            self.assertEqual(ns % 10**9, 0)
            self.assertGreaterEqual(ns // 10**9, trees.BASE_TIME)

    def test_change_counts_and_sync_undoes_it(self):
        base, changed, backup = self.path("base"), self.path("changed"), self.path("backup")
        trees.generate(base, 1000, 50, 3)
        counts = trees.change(base, changed, 3)
        self.assertEqual(counts, {"files": 1000, "changed": 10, "deleted": 5, "added": 5})
        diff = trees.differences(base, changed)
        self.assertEqual(sum(d.startswith("differs ") for d in diff), 10)
        self.assertEqual(sum(d.startswith("missing ") for d in diff), 5)
        self.assertEqual(sum(d.startswith("extra ") for d in diff), 5)
        # Every changed file is newer than its original: an update, not a skip.
        before, after = trees.walk(base), trees.walk(changed)
        for d in diff:
            if d.startswith("differs "):
                path = d.split(" ", 1)[1]
                self.assertGreater(after[path][2], before[path][2] + 2)

        trees.sync(changed, backup)
        self.assertEqual(trees.differences(changed, backup), [])
        trees.sync(base, backup)
        self.assertEqual(trees.differences(base, backup), [])
        self.assertEqual(snapshot(base), snapshot(backup))

    def test_sync_replaces_a_folder_by_a_file_and_removes_extras(self):
        src, dst = self.path("src"), self.path("dst")
        trees.generate(src, 40, 4, 1)
        trees.sync(src, dst)
        victim = next(p for p, (folder, _, _) in trees.walk(src).items() if not folder)
        os.remove(os.path.join(dst, victim))
        os.makedirs(os.path.join(dst, victim, "inner"))
        os.makedirs(os.path.join(dst, "stray", "deep"))
        with open(os.path.join(dst, "stray", "deep", "x.dat"), "wb") as f:
            f.write(b"x")
        self.assertNotEqual(trees.differences(src, dst), [])
        trees.sync(src, dst)
        self.assertEqual(trees.differences(src, dst), [])


    def test_moves_keep_every_file_and_renames_put_them_back(self):
        trees.generate(self.path("base"), 400, 20, 7)
        pairs = trees.moves(self.path("base"), self.path("with"), self.path("moved"), 7, big_files=30,
                            big_size=100)
        self.assertEqual(len(pairs), 4)
        with_big, moved = snapshot(self.path("with")), snapshot(self.path("moved"))
        self.assertEqual(len(with_big), 430)
        # The same bytes and times, under other paths.
        self.assertEqual(sorted(with_big.values()), sorted(moved.values()))
        self.assertNotIn("album/IMG_00000.jpg", moved)
        self.assertIn("album-2024/IMG_00000.jpg", moved)
        for rel, to in pairs:
            self.assertEqual(moved[to], with_big[rel])
        # A backup that followed the moves goes back by renames alone.
        trees.sync(self.path("moved"), self.path("backup"))
        trees.undo_moves(self.path("backup"), pairs)
        self.assertEqual(snapshot(self.path("backup")), with_big)

    def test_large_files_have_their_size_and_differ(self):
        trees.generate_large(self.path("l"), 3, 2, 5)
        tree = trees.walk(self.path("l"))
        self.assertEqual(sorted(tree), ["large000.bin", "large001.bin", "large002.bin"])
        self.assertTrue(all(size == 2 << 20 for _, size, _ in tree.values()))
        data = snapshot(self.path("l"))
        self.assertNotEqual(data["large000.bin"][0], data["large001.bin"][0])
        trees.generate_large(self.path("m"), 3, 2, 5)
        self.assertEqual(data, snapshot(self.path("m")))


if __name__ == "__main__":
    unittest.main()
