<?php
// Checks what php-serialized and json-strings wrote against PHP's own unserialize and
// json_decode. Used by the wordmill tests:
//
//     php structured-oracle.php RECORDS
//
// RECORDS holds records of five fields, each written as its length in bytes, a line feed, the
// bytes and a line feed: a kind, a text to find, its replacement, an input and the output a
// filter gave for it. The kinds:
//   serialized  the output unserializes, to what the input gives with the text replaced in every
//               string (a string that itself unserializes has the text replaced inside it, one
//               that starts like serialized text but does not unserialize is kept)
//   serialized-json  as serialized, and a string that decodes as a JSON object or array has the
//               text replaced in its string values
//   json        the output decodes, to what the input gives with the text replaced in every
//               string value (object keys stay as they are)
//   damaged     when the input unserializes, as for serialized; when it does not, the output is
//               the input ("ok") or the input with the text replaced as in plain text ("whole")
// Prints one line per record: "ok", or what is wrong.

function unserialized(string $text, &$value): bool {
    $value = @unserialize($text);
    return $value !== false || $text === 'b:0;';
}

// The leaves of a value in reading order, each with its path, its type and its value, with the
// text replaced in strings when $find is given. Arrays and objects, of any class, known or not,
// are walked through their members; a string that itself unserializes is walked too, and one
// that starts like serialized text but does not unserialize is kept as it is, as the step does.
function leaves($value, string $path, ?string $find, ?string $with, array &$out, bool $json = false): void {
    // A reference can make an array hold itself.
    if (substr_count($path, '/') > 40) {
        $out[] = [$path, 'deep'];
        return;
    }
    if (is_array($value) || is_object($value)) {
        $out[] = [$path, gettype($value)];
        foreach ((array) $value as $key => $member) {
            leaves($member, "$path/$key", $find, $with, $out, $json);
        }
    } elseif (is_string($value) && unserialized($value, $inner)) {
        $out[] = [$path, 'serialized'];
        leaves($inner, "$path>", $find, $with, $out, $json);
    } elseif ($json && is_string($value) && is_array($decoded = json_decode($value, true))) {
        $out[] = [$path, 'json'];
        leaves($decoded, "$path>", $find, $with, $out, $json);
    } elseif (is_string($value) && $find !== null && !preg_match('/^[ \t\n\r\v\f]*[saOCES]:/', $value)) {
        $out[] = [$path, 'string', str_replace($find, $with, $value)];
    } else {
        $out[] = [$path, gettype($value), $value];
    }
}

function replacedInJson($value, string $find, string $with) {
    if (is_string($value)) {
        return str_replace($find, $with, $value);
    }
    if (is_array($value)) {
        foreach ($value as $key => $member) {
            $value[$key] = replacedInJson($member, $find, $with);
        }
    }
    return $value;
}

function verdict(string $kind, string $find, string $with, string $in, string $out): string {
    switch ($kind) {
        case 'serialized':
        case 'serialized-json':
            if (!unserialized($in, $before)) {
                return 'the input does not unserialize';
            }
            if (!unserialized($out, $after)) {
                return 'the output does not unserialize';
            }
            $expected = [];
            $actual = [];
            leaves($before, '', $find, $with, $expected, $kind === 'serialized-json');
            leaves($after, '', null, null, $actual, $kind === 'serialized-json');
            return serialize($actual) === serialize($expected) ? 'ok' : 'unserializes to another value';
        case 'json':
            try {
                $before = json_decode($in, true, 512, JSON_THROW_ON_ERROR);
                $after = json_decode($out, true, 512, JSON_THROW_ON_ERROR);
            } catch (JsonException $e) {
                return 'not JSON: ' . $e->getMessage();
            }
            return $after === replacedInJson($before, $find, $with) ? 'ok' : 'decodes to another value';
        case 'damaged':
            if (unserialized($in, $ignored)) {
                return verdict('serialized', $find, $with, $in, $out);
            }
            if ($out === $in) {
                return 'ok';
            }
            return $out === str_replace($find, $with, $in) ? 'whole' : 'changed and unreadable';
    }
    return "unknown kind $kind";
}

$file = fopen($argv[1], 'rb');
$field = function () use ($file) {
    $length = fgets($file);
    if ($length === false) {
        return null;
    }
    $bytes = (int) $length > 0 ? fread($file, (int) $length) : '';
    fgetc($file);
    return $bytes;
};
while (($kind = $field()) !== null) {
    $find = $field();
    $with = $field();
    $in = $field();
    $out = $field();
    echo verdict($kind, $find, $with, $in, $out), "\n";
}
