#!/usr/bin/env python3
"""Holds JSON files to a JSON Schema (2020-12) with python3-jsonschema.

Usage: validate_json.py SCHEMA FILE...
Prints one line per file, "FILE: ok" or "FILE: /path/to/field: what is wrong" for every
fault, and exits 0 when every file follows the schema, 1 when one does not, 2 when the
schema or a file cannot be read.
"""
import json
import sys

try:
    from jsonschema import Draft202012Validator
except ImportError:
    sys.exit("validate_json: python3-jsonschema is missing (scripts/install-deps.sh installs it)")


def pointer(path):
    """The place of a fault as a JSON Pointer ("/values/Fillrate:32:Col/value")."""
    return "/" + "/".join(str(part).replace("~", "~0").replace("/", "~1") for part in path)


def faults(validator, document):
    """Every fault as (pointer, message); within anyOf and the like, the innermost ones."""
    found = []
    pending = list(validator.iter_errors(document))
    while pending:
        error = pending.pop()
        if error.context:
            pending.extend(error.context)
        else:
            found.append((pointer(error.absolute_path), error.message))
    return sorted(set(found))


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__.strip().splitlines()[2])
    try:
        with open(argv[1], encoding="utf-8") as f:
            schema = json.load(f)
        Draft202012Validator.check_schema(schema)
    except (OSError, ValueError) as e:
        print(f"validate_json: {argv[1]}: {e}", file=sys.stderr)
        return 2
    validator = Draft202012Validator(schema)
    status = 0
    for path in argv[2:]:
        try:
            with open(path, encoding="utf-8") as f:
                document = json.load(f)
        except (OSError, ValueError) as e:
            print(f"{path}: cannot be read: {e}")
            return 2
        problems = faults(validator, document)
        for where, message in problems:
            print(f"{path}: {where}: {message}")
        if problems:
            status = 1
        else:
            print(f"{path}: ok")
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
