"""Fetches one pinned npm package and checks it, for the data converters.

The converters never take whatever the registry serves: each names the exact
version and the integrity hash (the sha512 of the tarball, as npm prints it),
and stops when the tarball differs.  Python's standard library only; needs
the npm client to fetch (or a tarball given with --tarball).
"""
import base64
import hashlib
import io
import pathlib
import subprocess
import sys
import tarfile
import tempfile


def integrity_of(data):
    return "sha512-" + base64.b64encode(hashlib.sha512(data).digest()).decode("ascii")


def fetch_tarball(spec, integrity, tarball=None):
    """The bytes of the package tarball `spec` ("name@version"), checked
    against `integrity`. `tarball` names a file fetched before instead."""
    if tarball is None:
        with tempfile.TemporaryDirectory() as folder:
            subprocess.run(["npm", "pack", spec, "--silent", "--pack-destination", folder],
                           check=True, stdout=subprocess.DEVNULL)
            packed = list(pathlib.Path(folder).glob("*.tgz"))
            if len(packed) != 1:
                sys.exit(f"npm pack {spec} left {len(packed)} tarballs")
            data = packed[0].read_bytes()
    else:
        data = pathlib.Path(tarball).read_bytes()
    found = integrity_of(data)
    if found != integrity:
        sys.exit(f"{spec}: integrity {found} is not the pinned {integrity}")
    return data


def open_tarball(data):
    return tarfile.open(fileobj=io.BytesIO(data), mode="r:gz")
