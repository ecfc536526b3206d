#!/usr/bin/env python3
"""Writes the package-manager manifests of one Pathwink release:

  <out>/manifests/c/Corvane/Pathwink/<version>/   the winget manifests, where the
      Corvane.Pathwink.yaml                      community repository keeps them:
      Corvane.Pathwink.installer.yaml            version, per-user installer and
      Corvane.Pathwink.locale.en-US.yaml         default locale
  <out>/scoop/pathwink.json                        the portable zip

    python3 make_manifests.py --version 1.3 --setup <setup.exe> --zip <portable.zip>
                              --out <folder> (--url <address template> | --template)

The name, publisher, web address, uninstall key, settings file name and exit codes
are read from pathwink.nsi beside this script, so that the manifests claim what the
installer writes and does. The address template holds {version} and {file}; each
package's download address is the template with the version and its file name
filled in. --template writes manifests with a placeholder address instead, which
cannot be published. Used by tools/package and by the journey test's build (which
installs the setup under Wine and checks each claim).
"""

import argparse
import hashlib
import json
import os
import re
import sys

MANIFEST_VERSION = "1.6.0"  # the winget manifest schema
PACKAGE_ID = "Corvane.Pathwink"
LOCALE = "en-US"
# The same for the winget and the Scoop manifest, and what the README says: no licence
# has been chosen yet ("Unknown" is Scoop's word for that).
LICENSE = "Unknown"
SHORT_DESCRIPTION = "Opens your favourite folders with one key combination each."
DESCRIPTION = (
    "Pathwink gives your favourite folders their own key combinations: while it runs, "
    "pressing a combination such as Ctrl+Alt+D anywhere in Windows opens the bound folder "
    "in Explorer. Its icon in the notification area has a menu that lists every folder "
    "shortcut, and a small window creates, edits and deletes them."
)
TAGS = ["explorer", "folders", "hotkeys", "shortcuts", "tray"]
MINIMUM_OS_VERSION = "10.0.14393.0"  # Windows 10 version 1607
# NSIS's own exit code when the user cancels the wizard.
EXIT_CANCELLED = 1
PLACEHOLDER_URL = "https://www.corvane.example/download/pathwink/{version}/{file}"


def nsis_defines(script):
    """The !define values of an NSIS script, with ${NAME} references expanded."""
    defines = {}
    pattern = re.compile(r'^\s*!define\s+(\w+)\s+"(.*)"\s*$')
    with open(script, encoding="utf-8") as f:
        for line in f:
            m = pattern.match(line)
            if m:
                defines[m.group(1)] = re.sub(
                    r"\$\{(\w+)\}", lambda r: defines.get(r.group(1), r.group(0)), m.group(2)
                )
    return defines


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def scalar(value):
    """A YAML scalar that reads back as this text: plain where that is safe, else quoted."""
    text = str(value)
    if (
        not text
        or text != text.strip()
        or re.match(r"[-?:,\[\]{}#&*!|>'\"%@`0-9.+]", text)
        or ": " in text
        or " #" in text
        or text.lower() in ("true", "false", "yes", "no", "on", "off", "null", "~")
    ):
        return json.dumps(text)
    return text


def yaml_document(schema, body):
    """A manifest of this schema ("version", "installer", "defaultLocale"): the header
    lines, then body, whose {name} fields are filled in as YAML scalars."""
    return (
        "# Made by tools/package (installer/make_manifests.py).\n"
        "# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.%s.schema.json\n\n"
        % (schema, MANIFEST_VERSION)
        + body
        + "ManifestType: %s\nManifestVersion: %s\n" % (schema, MANIFEST_VERSION)
    )


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--version", required=True, help='the version users see, e.g. "1.3"')
    parser.add_argument("--setup", required=True, help="the installer")
    parser.add_argument("--zip", required=True, help="the portable zip")
    parser.add_argument("--out", required=True, help="folder for manifests/ and scoop/")
    address = parser.add_mutually_exclusive_group(required=True)
    address.add_argument("--url", help="download address template")
    address.add_argument(
        "--template", action="store_const", dest="url", const=PLACEHOLDER_URL,
        help="placeholder download address: manifests to look at, not to publish",
    )
    args = parser.parse_args(argv[1:])

    if not re.fullmatch(r"https://[^\s{}]+(\{(version|file)\}[^\s{}]*)*", args.url) or (
        "{file}" not in args.url
    ):
        parser.error("--url must be an https:// address with {file} (and {version} if wanted)")
    for path in (args.setup, args.zip):
        if not os.path.isfile(path):
            parser.error("no file %s" % path)
    # Scoop's update finds the next zip by its name, with the version in it.
    zip_name = os.path.basename(args.zip)
    if zip_name.count(args.version) != 1:
        parser.error("the zip's name must hold the version once: %s" % zip_name)
    before, after = zip_name.split(args.version)

    nsi = nsis_defines(os.path.join(os.path.dirname(os.path.abspath(__file__)), "pathwink.nsi"))
    name, publisher, web = nsi["PW_NAME"], nsi["PW_MAKER"], nsi["PW_WEB"]
    # The key under ...\Uninstall that the installer writes is what winget calls the
    # product code of a nullsoft installer.
    product_code = nsi["PW_UNINSTALL_KEY"].split("\\")[-1]
    settings = nsi["PW_SETTINGS"]

    def url(version, file):
        return args.url.replace("{version}", version).replace("{file}", file)

    v = {
        k: scalar(x)
        for k, x in dict(
            id=PACKAGE_ID,
            version=args.version,
            locale=LOCALE,
            os=MINIMUM_OS_VERSION,
            url=url(args.version, os.path.basename(args.setup)),
            sha256=sha256(args.setup).upper(),
            product_code=product_code,
            name=name,
            publisher=publisher,
            web=web,
            license=LICENSE,
            copyright="Copyright (C) " + publisher,
            short=SHORT_DESCRIPTION,
            description=DESCRIPTION,
            moniker=name.lower(),
        ).items()
    }
    # Integers in the schema. A folder whose path holds "%" gets all but Explorer's menu
    # item: installed, so a success for winget.
    v["cancelled"] = str(EXIT_CANCELLED)
    v["in_use"] = nsi["PW_EXIT_IN_USE"]
    v["no_menu_item"] = nsi["PW_EXIT_NO_MENU_ITEM"]
    v["tags"] = "".join("- %s\n" % scalar(t) for t in TAGS)
    head = "PackageIdentifier: {id}\nPackageVersion: {version}\n"
    # The community repository's layout: manifests/<first letter>/<publisher>/<name>/<version>.
    winget = os.path.join(
        args.out, "manifests", PACKAGE_ID[0].lower(), *PACKAGE_ID.split("."), args.version
    )
    write(
        os.path.join(winget, PACKAGE_ID + ".yaml"),
        yaml_document("version", (head + "DefaultLocale: {locale}\n").format(**v)),
    )
    # The "Apps & features" entry says only what the other fields say (its name and
    # publisher, the package version): the installer's product code is all winget needs.
    write(
        os.path.join(winget, PACKAGE_ID + ".installer.yaml"),
        yaml_document(
            "installer",
            (
                head + "MinimumOSVersion: {os}\n"
                "InstallerType: nullsoft\n"
                "Scope: user\n"
                "InstallModes:\n"
                "- interactive\n"
                "- silent\n"
                "- silentWithProgress\n"
                "InstallerSuccessCodes:\n"
                "- {no_menu_item}\n"
                "ExpectedReturnCodes:\n"
                "- InstallerReturnCode: {cancelled}\n"
                "  ReturnResponse: cancelledByUser\n"
                "- InstallerReturnCode: {in_use}\n"
                "  ReturnResponse: packageInUse\n"
                "UpgradeBehavior: install\n"
                "Installers:\n"
                "- Architecture: x64\n"
                "  InstallerUrl: {url}\n"
                "  InstallerSha256: {sha256}\n"
                "  ProductCode: {product_code}\n"
            ).format(**v),
        ),
    )
    write(
        os.path.join(winget, "%s.locale.%s.yaml" % (PACKAGE_ID, LOCALE)),
        yaml_document(
            "defaultLocale",
            (
                head + "PackageLocale: {locale}\n"
                "Publisher: {publisher}\n"
                "PublisherUrl: {web}\n"
                "PackageName: {name}\n"
                "PackageUrl: {web}\n"
                "License: {license}\n"
                "Copyright: {copyright}\n"
                "ShortDescription: {short}\n"
                "Description: {description}\n"
                "Moniker: {moniker}\n"
                "Tags:\n{tags}"
            ).format(**v),
        ),
    )

    exe = name + ".exe"
    # In the order the official buckets' contribution guide gives. Scoop keeps a
    # persisted file as a hard link into its persist folder, and makes a folder of a
    # name that exists in neither place: an empty settings file is made first, so that
    # the program's file is what it keeps. checkver finds the newest zip's name on the
    # home page; autoupdate makes its address from that version.
    scoop = {
        "version": args.version,
        "description": SHORT_DESCRIPTION,
        "homepage": web,
        "license": LICENSE,
        "notes": "Your folder shortcuts and options are kept in $persist_dir\\%s." % settings,
        "architecture": {
            "64bit": {"url": url(args.version, zip_name), "hash": sha256(args.zip)}
        },
        "pre_install": (
            'if (!(Test-Path "$persist_dir\\%s")) { New-Item -ItemType File "$dir\\%s" | Out-Null }'
            % (settings, settings)
        ),
        "bin": exe,
        "shortcuts": [[exe, name]],
        "persist": settings,
        "checkver": {
            "url": web,
            "regex": before.replace(".", r"\.") + r"([\d.]+)" + after.replace(".", r"\."),
        },
        "autoupdate": {
            "architecture": {"64bit": {"url": url("$version", before + "$version" + after)}}
        },
    }
    write(
        os.path.join(args.out, "scoop", name.lower() + ".json"),
        json.dumps(scoop, indent=4) + "\n",
    )
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
