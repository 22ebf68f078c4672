// The frame finder exports land here.
