#!/usr/bin/env python3
"""The build's Authenticode signatures, checked with osslsigncode: the shipped files of a build tree
verify against its test authority, and a changed byte or another authority breaks that; a release is
refused without the maker's key; the maker's key from a token (SoftHSM2) and from a PKCS#12 file
signs, with a time stamp from an RFC 3161 server.

usage: authenticode_test.py BUILD_DIR [unittest options]
"""
import contextlib
import glob
import http.server
import io
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import unittest

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import authenticode  # noqa: E402

BUILD = ""
TREE_CONFIG = {}  # the tree's signing.json: its key, and the osslsigncode its build signs with
MAKER = "Kelvane Software"
SHIPPED = ["bin/kelvane.exe", "bin/tiktor.exe", "kelvane-setup.exe", "installer/kelvane-uninstall.exe",
           "installer/plugin/KelvaneSetup.dll"]


def pe_fields(data):
    """The file offset of the entry point's code, and the size of the certificate table."""
    header = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", data, header + 6)
    optional = header + 24
    entry = struct.unpack_from("<I", data, optional + 16)[0]
    directories = optional + (112 if struct.unpack_from("<H", data, optional)[0] == 0x20B else 96)
    certificates = struct.unpack_from("<I", data, directories + 4 * 8 + 4)[0]
    for index in range(sections):
        size, address, _, raw = struct.unpack_from("<IIII", data, optional + optional_size + 40 * index + 8)
        if address <= entry < address + size:
            return raw + entry - address, certificates
    raise ValueError("no section holds the entry point")


def verify(path, authority, *more):
    result = subprocess.run([TREE_CONFIG["osslsigncode"], "verify", "-CAfile", authority, *more, "-in", path],
                            stdin=subprocess.DEVNULL, capture_output=True, text=True)
    return result.returncode == 0, result.stdout + result.stderr


def configure(folder, *arguments):
    """authenticode.py configure: its error, or "" with the config written."""
    errors = io.StringIO()
    with contextlib.redirect_stderr(errors):
        authenticode.main(["configure", folder, f"--maker={MAKER}", "--program-name=Kelvane Server",
                           f"--osslsigncode={TREE_CONFIG['osslsigncode']}", *arguments])
    return errors.getvalue()


class Scratch(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="authenticode-test-")
        self.addCleanup(shutil.rmtree, self.scratch)

    def path(self, *names):
        return os.path.join(self.scratch, *names)

    def authority(self, name):
        authenticode.make_test_authority(self.path(name), MAKER)
        return self.path(name, authenticode.AUTHORITY_PEM)

    def maker_pkcs12(self):
        """The maker's key and certificates in a PKCS#12 file, its password in a file: (authority, file, password)."""
        maker = self.authority("maker")
        with open(self.path("password"), "w", encoding="utf-8") as text:
            text.write("correct horse\n")
        authenticode.openssl("pkcs12", "-export", "-inkey", authenticode.SIGNER_KEY,
                             "-in", authenticode.SIGNER_CHAIN, "-out", "../maker.p12",
                             "-passout", f"file:{self.path('password')}", cwd=self.path("maker"))
        return maker, self.path("maker.p12"), self.path("password")

    def program_copy(self):
        copy = self.path("tiktor.exe")
        shutil.copyfile(os.path.join(BUILD, "bin/tiktor.exe"), copy)
        return copy


class ShippedFiles(Scratch):
    def test_each_verifies_against_the_trees_authority_and_no_changed_byte_or_other_authority_does(self):
        config = TREE_CONFIG
        if config["key"]["kind"] != "test":
            self.skipTest("this tree signs with the maker's key")
        ours = config["key"]["authority"]
        theirs = self.authority("other")
        other_config = dict(config, key=dict(config["key"], certs=self.path("other", authenticode.SIGNER_CHAIN),
                                             key=self.path("other", authenticode.SIGNER_KEY)))
        with open(self.path("other.json"), "w", encoding="utf-8") as text:
            json.dump(other_config, text)
        for name in SHIPPED:
            with self.subTest(name):
                ok, said = verify(os.path.join(BUILD, name), ours)
                self.assertTrue(ok, said)
                for part in ("Text description: Kelvane Server", "CN=Kelvane Software (test signature"):
                    self.assertIn(part, said)
                self.assertRegex(said, r"Message digest algorithm\s*: SHA256")

                with open(os.path.join(BUILD, name), "rb") as program:
                    changed = bytearray(program.read())
                changed[pe_fields(changed)[0]] ^= 0x01
                with open(self.path("changed.exe"), "wb") as copy:
                    copy.write(changed)
                self.assertFalse(verify(self.path("changed.exe"), ours)[0], "a changed byte of code")

                foreign = self.path("foreign.exe")
                shutil.copyfile(os.path.join(BUILD, name), foreign)
                authenticode.sign(self.path("other.json"), foreign)
                self.assertTrue(verify(foreign, theirs)[0])
                self.assertFalse(verify(foreign, ours)[0], "signed by another authority")

    def test_the_simulated_mainboards_files_carry_no_signature(self):
        with open(os.path.join(BUILD, "program-folder.txt"), encoding="utf-8") as listing:
            folder = dict(line.rstrip("\n").split("=", 1) for line in listing)
        board = [built for name, built in folder.items()
                 if name.endswith((".dll", ".exe")) and name not in ("kelvane.exe", "tiktor.exe")]
        self.assertGreater(len(board), 10)
        for built in board:
            with open(os.path.join(BUILD, built), "rb") as program:
                self.assertEqual(pe_fields(program.read())[1], 0, built)


class KeyChoice(Scratch):
    def test_what_a_configure_refuses_and_that_it_then_writes_nothing(self):
        for name in ("maker.p12", "module.so", "password"):
            open(self.path(name), "w", encoding="utf-8").close()
        p12, module, password = self.path("maker.p12"), self.path("module.so"), self.path("password")
        refused = [
            (["--signing=release"], "none is named"),
            (["--signing=release", f"--pkcs12={p12}", f"--pkcs11-module={module}"], "choose one"),
            (["--signing=release", f"--pkcs12={p12}"], "needs KELVANE_SIGN_PASSWORD_FILE"),
            (["--signing=release", "--pkcs12=/nowhere.p12", f"--password-file={password}"],
             "no such file: /nowhere.p12"),
            (["--signing=release", f"--pkcs11-module={module}", "--pkcs11-key=slot 1", f"--certs={p12}"],
             "pkcs11: URI"),
            ([f"--pkcs12={p12}"], "but KELVANE_SIGNING is test"),
            (["--signing=Release"], "must be test or release"),
            (["--url=ftp://kelvane.example"], "KELVANE_PRODUCT_URL must be an http"),
        ]
        for arguments, reason in refused:
            with self.subTest(arguments):
                self.assertIn(reason, configure(self.path("tree"), *arguments))
                self.assertFalse(os.path.exists(self.path("tree")))

    def test_cmake_gives_each_tree_its_authority_stops_a_keyless_release_and_warns_of_a_trial(self):
        with open(self.path("CMakeLists.txt"), "w", encoding="utf-8") as project:
            project.write(f'cmake_minimum_required(VERSION 3.25)\nproject(signing_check NONE)\n'
                          f'set(KELVANE_COMPANY "{MAKER}")\nset(KELVANE_PRODUCT "Kelvane Server")\n'
                          f'include({os.path.dirname(os.path.abspath(__file__))}/Signing.cmake)\n')
        cmake = ["cmake", "-S", self.scratch, "-B"]
        made = subprocess.run([*cmake, self.path("test-tree")], capture_output=True, text=True)
        self.assertEqual(made.returncode, 0, made.stderr)
        authority = os.path.join("signing", authenticode.TEST_AUTHORITY_DIR, authenticode.AUTHORITY_PEM)
        with open(self.path("test-tree", authority), "rb") as new:
            with open(os.path.join(BUILD, authority), "rb") as tree:
                self.assertNotEqual(new.read(), tree.read())

        refused = subprocess.run([*cmake, self.path("release-tree"), "-DKELVANE_SIGNING=release"],
                                 capture_output=True, text=True)
        self.assertNotEqual(refused.returncode, 0)
        self.assertIn("A release is never signed with a test key", " ".join(refused.stderr.split()))
        self.assertFalse(os.path.exists(self.path("release-tree", "signing")))

        # A trial's waiver left in a release tree's cache is said at every configure.
        _, p12, password = self.maker_pkcs12()
        trial = subprocess.run([*cmake, self.path("release-tree"), f"-DKELVANE_SIGN_PKCS12={p12}",
                                f"-DKELVANE_SIGN_PASSWORD_FILE={password}", "-DKELVANE_SIGN_WITHOUT_TIMESTAMP=ON"],
                               capture_output=True, text=True)
        self.assertEqual(trial.returncode, 0, trial.stderr)
        self.assertIn("without a time stamp", " ".join(trial.stderr.split()))


class TimeStampServer(http.server.BaseHTTPRequestHandler):
    """An RFC 3161 server of our own (openssl ts): this machine reaches no public one."""
    config = ""

    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", self.config, "-queryfile", "/dev/stdin",
                                "-out", "/dev/stdout"], input=query, capture_output=True).stdout
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *arguments):
        pass


class ReleaseKeys(Scratch):
    def test_a_key_on_a_token_signs_and_a_wrong_pin_deletes_the_unsigned_file(self):
        maker = self.authority("maker")
        os.makedirs(self.path("tokens"))
        with open(self.path("softhsm2.conf"), "w", encoding="utf-8") as conf:
            conf.write(f"directories.tokendir = {self.path('tokens')}\nobjectstore.backend = file\n")
        os.environ["SOFTHSM2_CONF"] = self.path("softhsm2.conf")
        self.addCleanup(os.environ.pop, "SOFTHSM2_CONF")
        for arguments in (["--init-token", "--free", "--label", "maker", "--pin", "2468", "--so-pin", "13579"],
                          ["--import", self.path("maker", authenticode.SIGNER_KEY), "--token", "maker",
                           "--label", "signer", "--id", "01", "--pin", "2468"]):
            subprocess.run(["softhsm2-util", *arguments], check=True, capture_output=True)
        for pin, name in (("2468\n", "pin"), ("1111\n", "wrong-pin")):
            with open(self.path(name), "w", encoding="utf-8") as text:
                text.write(pin)
        module = glob.glob("/usr/lib/*/softhsm/libsofthsm2.so") + glob.glob("/usr/lib/softhsm/libsofthsm2.so")
        token = ["--signing=release", "--without-timestamp", f"--pkcs11-module={module[0]}",
                 "--pkcs11-key=pkcs11:token=maker;object=signer;type=private",
                 f"--certs={self.path('maker', authenticode.SIGNER_CHAIN)}"]

        self.assertEqual(configure(self.path("tree"), *token, f"--password-file={self.path('pin')}"), "")
        with open(self.path("tree", authenticode.CONFIG_FILE), encoding="utf-8") as text:
            self.assertNotIn(authenticode.TEST_AUTHORITY_DIR, text.read())
        program = self.program_copy()
        authenticode.sign(self.path("tree", authenticode.CONFIG_FILE), program)
        ok, said = verify(program, maker)
        self.assertTrue(ok, said)

        self.assertEqual(configure(self.path("tree"), *token, f"--password-file={self.path('wrong-pin')}"), "")
        with self.assertRaisesRegex(authenticode.SigningError, "token key .* it is deleted"):
            authenticode.sign(self.path("tree", authenticode.CONFIG_FILE), program)
        self.assertFalse(os.path.exists(program))

    def test_a_key_from_a_pkcs12_file_signs_with_a_time_stamp_and_the_products_url(self):
        maker, p12, password = self.maker_pkcs12()
        with open(self.path("wrong"), "w", encoding="utf-8") as text:
            text.write("wrong horse\n")
        key = ["--signing=release", f"--pkcs12={p12}"]
        wrong = f"--password-file={self.path('wrong')}"
        self.assertIn("does not open", configure(self.path("tree"), *key, wrong))
        key.append(f"--password-file={password}")
        self.assertIn("needs a time stamp", configure(self.path("tree"), *key))

        stamps = self.time_stamp_server()
        self.assertEqual(configure(self.path("tree"), *key, f"--timestamp-url={stamps}",
                                   "--url=https://kelvane.example/"), "")
        program = self.program_copy()
        authenticode.sign(self.path("tree", authenticode.CONFIG_FILE), program)
        ok, said = verify(program, maker, "-TSA-CAfile", self.path("stamps", authenticode.AUTHORITY_PEM))
        self.assertTrue(ok, said)
        self.assertIn("Timestamp Server Signature verification: ok", said)
        self.assertIn("URL description: https://kelvane.example/", said)

    def time_stamp_server(self):
        os.makedirs(self.path("stamps"))
        stamps = self.path("stamps")
        ssl = lambda *arguments: authenticode.openssl(*arguments, cwd=stamps)  # noqa: E731
        ssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "root.key",
            "-out", authenticode.AUTHORITY_PEM,
            "-days", "2", "-subj", "/CN=Time-stamping root")
        ssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", "tsa.key", "-out", "tsa.csr",
            "-subj", "/CN=TSA")
        with open(os.path.join(stamps, "tsa.ext"), "w", encoding="utf-8") as ext:
            ext.write("basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                      "extendedKeyUsage=critical,timeStamping\n")
        ssl("x509", "-req", "-in", "tsa.csr", "-CA", authenticode.AUTHORITY_PEM, "-CAkey", "root.key",
            "-set_serial", "2", "-days", "2", "-extfile", "tsa.ext", "-out", "tsa.pem")
        TimeStampServer.config = os.path.join(stamps, "tsa.cnf")
        with open(TimeStampServer.config, "w", encoding="utf-8") as conf:
            conf.write(f"[tsa]\ndefault_tsa = t\n[t]\nserial = {stamps}/serial\nsigner_cert = {stamps}/tsa.pem\n"
                       f"signer_key = {stamps}/tsa.key\nsigner_digest = sha256\ndefault_policy = 1.2.3.4.1\n"
                       "digests = sha256\ness_cert_id_alg = sha256\n")
        server = http.server.HTTPServer(("127.0.0.1", 0), TimeStampServer)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        self.addCleanup(server.server_close)
        self.addCleanup(server.shutdown)
        return f"http://127.0.0.1:{server.server_address[1]}/"


if __name__ == "__main__":
    BUILD = os.path.abspath(sys.argv.pop(1))
    with open(os.path.join(BUILD, "signing", authenticode.CONFIG_FILE), encoding="utf-8") as tree_config:
        TREE_CONFIG = json.load(tree_config)
    unittest.main()
